// Helpers of the default package's templates: PHP literals and the mapping of the project's
// settings to the values the runtime reads.

// A PHP single-quoted string literal.
function PhpString(value) {
	var text = (value === null || value === undefined) ? "" : String(value);
	return "'" + text.replace(/\\/g, "\\\\").replace(/'/g, "\\'") + "'";
}

// Text safe inside a PHP line comment: no line break, and no "?>", which would end the PHP block.
function PhpComment(value) {
	return String(value).replace(/[\r\n]+/g, " ").replace(/\?>/g, "? >");
}

function PhpBool(value) {
	return value ? "true" : "false";
}

function PhpInt(value, fallback) {
	var n = parseInt(value, 10);
	return isNaN(n) ? String(fallback) : String(n);
}

// A PHP list of string literals.
function PhpList(values) {
	var parts = [];
	for (var i = 0; i < values.length; i++) parts.push(PhpString(values[i]));
	return "[" + parts.join(", ") + "]";
}

// Field types of the runtime by the field's ADO type code.
var zvTypeNames = {
	2: "int", 3: "int", 16: "int", 17: "int", 18: "int", 19: "int", 20: "int", 21: "int",
	4: "float", 5: "float",
	6: "decimal", 14: "decimal", 131: "decimal", 139: "decimal",
	11: "bool",
	7: "date", 133: "date", 135: "datetime", 146: "datetime", 64: "datetime", 134: "time",
	72: "guid",
	128: "binary", 204: "binary", 205: "binary",
	201: "text", 203: "text", 141: "text"
};

function FieldType(fld) {
	return zvTypeNames[fld.FldType] || "string";
}

// The runtime's validation by the field's FldValidate, else by its type.
var zvValidations = {
	INTEGER: "integer", FLOAT: "number", NUMBER: "number", DATE: "date", USDATE: "date",
	EURODATE: "date", DATETIME: "datetime", TIME: "time", EMAIL: "email", URL: "url"
};
var zvTypeValidations = { "int": "integer", "float": "number", "decimal": "number",
	"date": "date", "datetime": "datetime", "time": "time" };

function FieldValidation(fld) {
	var named = zvValidations[String(fld.FldValidate || "").toUpperCase()];
	if (named) return named;
	return zvTypeValidations[FieldType(fld)] || "";
}

var zvFormats = { CURRENCY: "currency", NUMBER: "number", PERCENT: "percent", DATE: "date",
	"DATE/TIME": "datetime", DATETIME: "datetime" };

function FieldFormat(fld) {
	return zvFormats[String(fld.FldFmtType || "").toUpperCase()] || "";
}

var zvTags = ["TEXT", "PASSWORD", "TEXTAREA", "CHECKBOX", "RADIO", "SELECT", "HIDDEN", "FILE"];

function FieldTag(fld) {
	var tag = String(fld.FldHtmlTag || "").toUpperCase();
	return zvTags.indexOf(tag) >= 0 ? tag : "TEXT";
}

// One line of FldTagValues: "value","label" (quotes optional; a single value is its own label).
function TagValuePair(line) {
	var parts = [], current = "", quoted = false;
	for (var i = 0; i < line.length; i++) {
		var c = line.charAt(i);
		if (c == '"') quoted = !quoted;
		else if (c == "," && !quoted && parts.length == 0) { parts.push(current); current = ""; }
		else current += c;
	}
	parts.push(current);
	var value = parts[0].replace(/^\s+|\s+$/g, "");
	var label = parts.length > 1 ? parts[1].replace(/^\s+|\s+$/g, "") : value;
	return [value, label];
}

// The PHP list of [value, label] pairs of a field's tag values.
function TagValues(fld) {
	var lines = String(fld.FldTagValues || "").split(/\r\n|\n/);
	var pairs = [];
	for (var i = 0; i < lines.length; i++) {
		if (lines[i].replace(/\s+/g, "") == "") continue;
		pairs.push(PhpList(TagValuePair(lines[i])));
	}
	return "[" + pairs.join(", ") + "]";
}

// The lookup description of a field, or "null".
function LookupOf(fld) {
	var table = String(fld.FldTagLnkTbl || "");
	var key = String(fld.FldTagLnkFld || "");
	if (table == "" || key == "") return "null";
	var display = [];
	var names = [fld.FldTagLnkDisplay, fld.FldTagLnkDisp2, fld.FldTagLnkDisp3, fld.FldTagLnkDisp4];
	for (var i = 0; i < names.length; i++) if (names[i]) display.push(String(names[i]));
	if (display.length == 0) display.push(key);
	var order = String(fld.FldTagLnkOrderBy || "");
	return "['table' => " + PhpString(table) + ", 'key' => " + PhpString(key) +
		", 'display' => " + PhpList(display) + ", 'order' => " + PhpString(order) +
		", 'filter' => " + PhpString(fld.FldSelectFilter || "") + "]";
}

function Caption(obj, fallback) {
	var caption = obj.TblCaption !== undefined ? obj.TblCaption : obj.FldCaption;
	return caption ? String(caption) : String(fallback);
}

// The database type of the runtime by the project's DBType.
function DatabaseKind(db) {
	var type = String(db.DBType || "").toUpperCase();
	if (type.indexOf("SQLITE") >= 0) return "sqlite";
	if (type.indexOf("POSTGRE") >= 0 || type == "PGSQL") return "pgsql";
	if (type.indexOf("MYSQL") >= 0 || type.indexOf("MARIA") >= 0) return "mysql";
	return type.toLowerCase();
}

// A value of a "key=value;..." connection string by any of its key names.
function ConnectionValue(connStr, keys) {
	for (var pair of String(connStr || "").split(";")) {
		var eq = pair.indexOf("=");
		if (eq < 0) continue;
		var key = pair.substring(0, eq).trim().toLowerCase();
		if (keys.indexOf(key) >= 0) return pair.substring(eq + 1).trim();
	}
	return "";
}

// A database's connection as the PHP array the runtime opens it by: a SQLite file in the
// application's db/ folder, or a server by its own settings or its connection string.
function DatabaseConfig(db, indent) {
	var kind = DatabaseKind(db);
	var lines = ["'type' => " + PhpString(kind)];
	if (kind == "sqlite") {
		var file = String(db.DBPhyPath || db.DBPath || ConnectionValue(db.DBConnstr, ["data source"])).replace(/\\/g, "/");
		lines.push("'path' => __DIR__ . '/db/' . " + PhpString(file.substring(file.lastIndexOf("/") + 1)));
	} else {
		var cs = db.DBConnstr;
		lines.push("'host' => " + PhpString(db.DBHost || ConnectionValue(cs, ["server", "host"]) || "127.0.0.1"));
		lines.push("'port' => " + PhpString(db.DBPort || ConnectionValue(cs, ["port"])));
		lines.push("'name' => " + PhpString(ConnectionValue(cs, ["database", "dbname", "initial catalog"]) || db.DBName));
		lines.push("'user' => " + PhpString(db.DBUID || ConnectionValue(cs, ["uid", "user id", "user", "username"])));
		lines.push("'password' => " + PhpString(db.DBPwd || ConnectionValue(cs, ["pwd", "password"])));
		lines.push("'schema' => " + PhpString(db.DBSchema || ""));
	}
	return "[\n" + indent + "    " + lines.join(",\n" + indent + "    ") + ",\n" + indent + "]";
}

// The runtime's security type by the project's SecType.
function SecurityKind() {
	var type = String(PROJ.SecType || "").toLowerCase().replace(/[\s_-]/g, "");
	if (type == "" || type == "none") return "none";
	if (type == "table" || type == "usertable") return "table";
	return "hardcoded";
}

// The languages of the application by file name without ".xml": the project's language files
// when it is multi-lingual, else only the default one.
function LanguageNames(defaultName) {
	var names = [defaultName];
	if (!PROJ.MultiLanguage) return names;
	var files = String(PROJ.LanguageFiles || "").split(",");
	for (var i = 0; i < files.length; i++) {
		var name = files[i].replace(/^\s+|\s+$/g, "").replace(/\.xml$/i, "");
		if (name != "" && names.indexOf(name) < 0) names.push(name);
	}
	return names;
}

// A date() pattern for the field's FldDtFormat (1 long date, 3 long time, 4 short time,
// 5 year/month/day, 6 month/day/year, 7 day/month/year); "" (0, 2) leaves the format to the
// language file.
function DatePattern(fld) {
	var patterns = { 1: "l, F j, Y", 3: "H:i:s", 4: "H:i", 5: "Y/m/d", 6: "m/d/Y", 7: "d/m/Y" };
	var pattern = patterns[fld.FldDtFormat] || "";
	if (pattern != "" && fld.FldDtFormat >= 5 && FieldType(fld) == "datetime") pattern += " H:i:s";
	return pattern;
}

// Tables that get pages, in project order.
function GeneratedTables() {
	var list = [];
	for (var t of DB.Tables) if (t.TblGen) list.push(t);
	return list;
}

// The menu of the application: the project's shown menu items in display order, each a table's
// list page or a link of its own. Items of tables without a list page are left out. Without any
// menu item every generated table with a list page is listed.
function MenuItems() {
	var items = [];
	for (var m of MENULIST) if (m.MenuShow) items.push(m);
	items.sort(function (a, b) { return a.MenuDisplayOrder - b.MenuDisplayOrder || a.MenuId - b.MenuId; });
	var result = [];
	for (var i = 0; i < items.length; i++) {
		var m = items[i];
		if (m.MenuSource) {
			var t = TableByName(m.MenuSource);
			if (!t || !t.TblGen || !t.TblList) continue;
			result.push({ caption: m.MenuText || Caption(t, t.TblName), url: FirstPage(t), table: t.TblVar });
		} else if (m.MenuUrl || m.MenuExtUrl) {
			result.push({ caption: m.MenuText, url: m.MenuUrl || m.MenuExtUrl, table: "", anonymous: !!m.MenuAnonymous });
		}
	}
	if (result.length == 0 && items.length == 0) {
		for (var t of GeneratedTables())
			if (t.TblList) result.push({ caption: Caption(t, t.TblName), url: FirstPage(t), table: t.TblVar });
	}
	return result;
}

// The page a menu item of a table opens: a report's summary, any other table's list.
function FirstPage(tbl) {
	var page = String(tbl.TblType).toUpperCase() == "REPORT" ? "report" : "list";
	return tbl.TblVar + page + "." + (PROJ.Ext || "php");
}

// The fields a report groups its rows by: those with a group-by order, else its first text field
// that is not a key.
function ReportGroups(tbl) {
	var grouped = [];
	for (var f of tbl.Fields) if (f.FldGroupBy > 0) grouped.push(f);
	grouped.sort(function (a, b) { return a.FldGroupBy - b.FldGroupBy; });
	var names = [];
	for (var i = 0; i < grouped.length; i++) names.push(String(grouped[i].FldName));
	if (names.length > 0) return names;
	for (var f of tbl.Fields)
		if (!f.FldIsPrimaryKey && FieldType(f) == "string") return [String(f.FldName)];
	return [];
}

// Whether the database computes a column's default (now(), CURRENT_TIMESTAMP, a sequence, a
// cast expression) rather than holding a literal; the project's FldDefault is then the loader's
// copy of that expression, or a cut of it, and no value for a form.
function DatabaseFills(fld) {
	var raw = String(fld.FldDbDefault === null || fld.FldDbDefault === undefined ? "" : fld.FldDbDefault).trim();
	if (raw == "") return false;
	var literal = /^'(?:[^']|'')*'(::[\w ]+)?$/.test(raw) || /^\(?[-+]?\d+(\.\d+)?\)?(::[\w ]+)?$/.test(raw) ||
		/^(true|false|null)$/i.test(raw) || /^b'[01]'$/i.test(raw);
	// A call or a keyword of the clock; MySQL hands literals over without their quotes.
	var computed = /\(/.test(raw) || /^(current_timestamp|current_date|current_time|localtimestamp|localtime)$/i.test(raw);
	if (literal || !computed) return false;
	var value = String(fld.FldDefault === null || fld.FldDefault === undefined ? "" : fld.FldDefault);
	return value == "" || raw.toLowerCase().indexOf(value.toLowerCase()) == 0;
}

// The add form's value of a field: its literal default, or none.
function FormDefault(fld) {
	var value = fld.FldDefault === null || fld.FldDefault === undefined ? "" : String(fld.FldDefault);
	return value == "" || DatabaseFills(fld) ? "null" : PhpString(value);
}

// The runtime's chart kind by ChartType: 1 bar, 2 line, 3 pie, 4 area; anything else bar.
function ChartKind(chart) {
	return { 2: "line", 3: "pie", 4: "area" }[chart.ChartType] || "bar";
}

// The trend lines a chart shows, as PHP arrays.
function ChartTrends(chart) {
	var parts = [];
	for (var t of chart.Trendlines) {
		if (!t.TrendShow) continue;
		var start = parseFloat(t.TrendStartValue);
		if (isNaN(start)) continue;
		// A line without its own end value is level; a zone needs both.
		var end = parseFloat(t.TrendEndValue);
		if (isNaN(end) || end == 0 && !t.TrendIsTrendZone) end = start;
		parts.push("['start' => " + start + ", 'end' => " + end +
			", 'caption' => " + PhpString(t.TrendDisplayValue || String(start)) +
			", 'color' => " + PhpString(/^#?[0-9A-Fa-f]{6}$/.test(String(t.TrendColor)) ? "#" + String(t.TrendColor).replace("#", "") : "#c0392b") +
			", 'zone' => " + PhpBool(t.TrendIsTrendZone) + "]");
	}
	return "[" + parts.join(", ") + "]";
}

// The fields a report sums: those marked FldRptAggSum, else its numbers that are neither keys,
// groups nor identifiers (a name ending in "id").
function ReportSums(tbl) {
	var groups = ReportGroups(tbl), marked = [], numbers = [];
	for (var f of tbl.Fields) {
		var name = String(f.FldName);
		if (groups.indexOf(name) >= 0) continue;
		if (f.FldRptAggSum) marked.push(name);
		var type = FieldType(f);
		if ((type == "int" || type == "float" || type == "decimal") && !f.FldIsPrimaryKey && !f.FldAutoIncrement &&
			!f.FldTagLnkTbl && !/id$/i.test(name)) numbers.push(name);
	}
	return marked.length > 0 ? marked : numbers;
}

function TableByName(name) {
	for (var t of DB.Tables) if (t.TblName == name) return t;
	return null;
}

// The key columns of a table.
function KeyFields(tbl) {
	var keys = [];
	for (var f of tbl.Fields) if (f.FldIsPrimaryKey) keys.push(String(f.FldName));
	return keys;
}

// Master/detail links of the project where `tbl` is the master ("details") or the detail.
function Relations(tbl, asMaster) {
	var result = [];
	for (var md of MASTERDETAILS) {
		var own = asMaster ? md.MasterTable : md.DetailTable;
		if (own != tbl.TblName) continue;
		var other = TableByName(asMaster ? md.DetailTable : md.MasterTable);
		if (!other || !other.TblGen) continue;
		var links = [];
		for (var i = 1; i <= md.FieldCount; i++)
			links.push("['master' => " + PhpString(md.MasterField(i)) + ", 'detail' => " + PhpString(md.DetailField(i)) + "]");
		result.push({ table: other, links: "[" + links.join(", ") + "]" });
	}
	return result;
}

// Custom server code the project attached to a page of a table: custom scripts of type "table",
// code type "server", named after the hook, whose control id is the page's (or empty) and whose
// first key is the table. "" when there is none.
function CustomCode(tbl, controlId, name) {
	for (var s of CUSTOMSCRIPTS) {
		if (String(s.ScriptType).toLowerCase() != "table") continue;
		if (String(s.ScriptCodeType).toLowerCase() != "server") continue;
		if (String(s.ScriptName).toLowerCase() != name.toLowerCase()) continue;
		if (s.ScriptCtrlID != "" && s.ScriptCtrlID != controlId) continue;
		if (s.ScriptL1Key != tbl.TblName) continue;
		return String(s.ScriptCode);
	}
	return "";
}

// E-mail addresses written in one setting, separated by commas, semicolons or spaces.
function MailList(text) {
	return String(text || "").split(/[\s,;]+/).filter(function (a) { return a != ""; });
}

// The export of a table (the runtime's 'export' entry). A format is on when the table's or the
// project's setting is (XML brings JSON along). The list page has it when ListExport is on, or
// when no place is chosen at all; the view page when ViewExport is on.
function ExportOf(tbl) {
	var settings = [["print", "PrinterFriendly"], ["html", "ExportHtml"], ["csv", "ExportCsv"], ["xlsx", "ExportExcel"],
		["docx", "ExportWord"], ["xml", "ExportXml"], ["json", "ExportXml"], ["pdf", "ExportPDF"], ["email", "ExportEmail"]];
	var formats = [];
	for (var i = 0; i < settings.length; i++)
		if (PROJ[settings[i][1]] || tbl["Tbl" + settings[i][1]]) formats.push(settings[i][0]);
	var onList = !!(PROJ.ListExport || tbl.TblListExport);
	var onView = !!(PROJ.ViewExport || tbl.TblViewExport);
	var type = String(tbl.TblExportType || PROJ.ExportType || "");
	return "['formats' => " + PhpList(formats) + ", 'list' => " + PhpBool(onList || !onView) + ", 'view' => " + PhpBool(onView)
		+ ", 'rows' => '" + (/^all/i.test(type) ? "all" : "page") + "', 'dropdown' => "
		+ PhpBool(PROJ.UseDropDownForExport || tbl.TblUseDropDownForExport) + "]";
}

// Security pages: conditions of the control file and settings of config.php.
function UsesCaptcha() {
	return !!(PROJ.SecLoginCaptcha || PROJ.SecRegisterCaptcha && PROJ.SecRegisterPage ||
		PROJ.SecForgotPwdCaptcha && PROJ.SecForgetPwdPage || PROJ.SecChangePwdCaptcha && PROJ.SecChangePwdPage);
}

// The least number of characters of a new password: FldMin of the user table's password field, 8
// when it names none (hashes are strong, guesses of short passwords are not hard).
function PasswordMinLength() {
	var tbl = PROJ.SecTbl ? TableByName(PROJ.SecTbl) : null;
	var min = 0;
	if (tbl) for (var f of tbl.Fields) if (f.FldName == PROJ.SecPasswdFld) min = parseInt(f.FldMin, 10);
	return min > 0 ? min : 8;
}

function UsesDynamicLevels() {
	return !!(DB.UseDynamicUserLevel && DB.UserLevelPrivTbl);
}

function AuditsAnything() {
	if (PROJ.SecLogInOutAuditTrail) return true;
	for (var t of DB.Tables) if (t.TblGen && t.TblAuditTrail) return true;
	return false;
}

// The audit trail goes to the table AuditTrailPath names when the project has one, else to a file.
function AuditTable() {
	var t = TableByName(String(PROJ.AuditTrailPath || "").trim());
	return t ? String(t.TblName) : "";
}

function AuditsToFile() {
	return AuditsAnything() && AuditTable() == "";
}

// The optional libraries the application's pages use: [what for, Debian package, Composer package].
function ApplicationLibraries() {
	var mailed = PROJ.ExportEmail, pdf = PROJ.ExportPDF, zip = PROJ.ExportExcel || PROJ.ExportWord;
	for (var t of GeneratedTables()) {
		mailed = mailed || t.TblExportEmail || t.TblSendMailOnAdd || t.TblSendMailOnEdit || t.TblSendMailOnDelete;
		pdf = pdf || t.TblExportPDF;
		zip = zip || t.TblExportExcel || t.TblExportWord;
	}
	var table = SecurityKind() == "table";
	var accounts = table && (PROJ.SecRegisterPage && (PROJ.SecRegisterConfirm || PROJ.SecRegisterEmail) ||
		PROJ.SecForgetPwdPage || PROJ.SecChangeEmail);
	var out = [];
	if (mailed || accounts) out.push(["e-mail (SMTP)", "libphp-phpmailer", "phpmailer/phpmailer"]);
	if (SecurityKind() != "none" && UsesCaptcha()) {
		out.push(["captcha", "php-gregwar-captcha", "gregwar/captcha"]);
		out.push(["captcha images", "php-gd", ""]);
	}
	if (pdf) out.push(["PDF export", "php-dompdf", "dompdf/dompdf"]);
	if (zip) out.push(["Excel and Word export", "php-zip", ""]);
	var rich = false, resize = false;
	for (var t of GeneratedTables())
		for (var f of t.Fields) {
			rich = rich || !!f.FldUseDHTMLEditor;
			resize = resize || !!f.FldUploadResize && (f.FldResizeWidth > 0 || f.FldResizeHeight > 0);
		}
	if (rich) out.push(["rich text fields", "php-htmlpurifier", "ezyang/htmlpurifier"]);
	if (resize) out.push(["resizing uploaded images", "php-gd", ""]);
	return out;
}

// How a detail table shows with its master: the row count on the master's list, its rows on the
// master's view page, added and edited in the master's forms, paged there (the table's setting
// or the project's).
function DetailSettingsOf(dtl) {
	return "'count' => " + PhpBool(dtl.TblDetailShowCount) + ", 'view' => " + PhpBool(dtl.TblDetailView) +
		", 'add' => " + PhpBool(dtl.TblDetailAdd) + ", 'edit' => " + PhpBool(dtl.TblDetailEdit) +
		", 'view_paging' => " + PhpBool(dtl.TblDetailViewPaging || PROJ.DetailViewPaging) +
		", 'edit_paging' => " + PhpBool(dtl.TblDetailEditPaging || PROJ.DetailEditPaging);
}
