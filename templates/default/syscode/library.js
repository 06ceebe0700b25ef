<!--##
// The objects every control function relies on.

function StringBuilder() { this.parts = []; }
StringBuilder.prototype.Append = function (s) { if (s !== null && s !== undefined) this.parts.push(String(s)); };
StringBuilder.prototype.Clear = function () { this.parts = []; };
StringBuilder.prototype.ToString = function () { return this.parts.join(""); };

var TABLE = null, FIELD = null, zv_IndentWrk = "";

// Generated pages are UTF-8 PHP: nothing locale-dependent happens while generating.
function zv_SetLocale() {}

// The table and field the page is being generated for.
function zv_LoadCurrent() {
	TABLE = null;
	FIELD = null;
	var tableName = DB.Tables.curName;
	if (!tableName) return;
	TABLE = DB.Tables.Item(tableName) || null;
	if (!TABLE) return;
	var fieldName = TABLE.Fields.curName;
	if (fieldName) FIELD = TABLE.Fields.Item(fieldName) || null;
}

// Conditions of the control file.
function HasKey() {
	if (!TABLE) return false;
	for (var f of TABLE.Fields) if (f.FldIsPrimaryKey) return true;
	return false;
}

function IsUpdatable() {
	if (!TABLE || !TABLE.TblUpdatable) return false;
	var type = String(TABLE.TblType).toUpperCase();
	return type == "TABLE" || type == "LINKTABLE" && String(TABLE.LinkTableType).toUpperCase() == "TABLE";
}

// Pages of the whole application rather than of a table.
var zvProjectPages = ["index", "login", "logout", "register", "forgotpwd", "changepwd", "changeemail", "captcha",
	"userpriv", "audittrail"];

function IsProjectPage(page) {
	return zvProjectPages.indexOf(page) >= 0;
}

// The arguments of the runtime's entry for a page.
function RunArguments(page) {
	var text = "'" + page + "'";
	if (IsProjectPage(page)) return text;
	text += ", " + PhpString(TABLE ? TABLE.TblVar : "");
	if (page == "lookup") text += ", " + PhpString(FIELD ? FIELD.FldName : "");
	return text;
}
##-->