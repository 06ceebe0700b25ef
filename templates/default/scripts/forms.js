// Settings of the add, edit, view and register forms, written into config.php and the table
// descriptions.

function FormText(value) {
	return PhpString(value === undefined || value === null ? "" : String(value).trim());
}

// A comma-separated list of names as a PHP list.
function FormNames(value) {
	return PhpList(String(value || "").split(",").map(function (s) { return s.trim(); })
		.filter(function (s) { return s != ""; }));
}

// The regular expression of a REGEX validation: the server's arguments, else the browser's.
function FormPattern(fld) {
	var kind = String(fld.FldValidate || "").toUpperCase();
	if (kind != "REGEX" && kind != "REGEXP" && kind != "PATTERN") return "";
	return String(fld.FldServerValidateArgs || fld.FldClientValidateArgs || "");
}

// The cascading parents of a lookup: [field of this table, lookup column it filters, its table].
function FormParents(fld) {
	var out = [], suffixes = ["", "2", "3", "4"];
	for (var i = 0; i < suffixes.length; i++) {
		var parent = String(fld["FldParentSelect" + suffixes[i]] || "").trim();
		var filter = String(fld["FldSelectFilterFld" + suffixes[i]] || "").trim();
		if (parent == "" || filter == "") continue;
		out.push("['field' => " + PhpString(parent) + ", 'filter' => " + PhpString(filter) +
			", 'table' => " + FormText(fld["FldParentSelectTbl" + suffixes[i]]) + "]");
	}
	return "[" + out.join(", ") + "]";
}

// What the forms need of a field (the runtime's 'form' entry).
function FieldFormOf(fld) {
	var kind = String(fld.FldValidate || "").toUpperCase();
	var resize = fld.FldUploadResize && (fld.FldResizeWidth > 0 || fld.FldResizeHeight > 0);
	// a password's FldMin is its least length (the security settings read it), not a least value
	var password = String(fld.FldHtmlTag || "").toUpperCase() == "PASSWORD";
	return "[" + [
		"'min' => " + FormText(password ? "" : fld.FldMin),
		"'max' => " + FormText(fld.FldMax),
		"'range' => " + PhpBool(kind == "RANGE"),
		"'pattern' => " + PhpString(FormPattern(fld)),
		"'message' => " + FormText(fld.FldErrMsg),
		"'unique' => " + PhpBool(fld.FldCheckDuplicate),
		"'input_size' => " + PhpInt(fld.FldTagSize > 0 ? fld.FldTagSize : 0, 0),
		"'cols' => " + PhpInt(fld.FldTagCols > 0 ? fld.FldTagCols : 0, 0),
		"'rows' => " + PhpInt(fld.FldTagRows > 0 ? fld.FldTagRows : 0, 0),
		"'select_size' => " + PhpInt(fld.FldSelectSize > 0 ? fld.FldSelectSize : 0, 0),
		"'calendar' => " + PhpBool(fld.FldPopCalendar),
		"'readonly' => " + PhpBool(fld.FldHtmlTagReadOnly),
		"'crlf' => " + PhpBool(PROJ.MemoCRLFReplace || fld.FldMemoCRLFReplace),
		"'page' => " + PhpInt(fld.FldPageIndex > 0 ? fld.FldPageIndex : 1, 1),
		"'multiple' => " + PhpBool(fld.FldSelectMultiple && String(fld.FldHtmlTag || "").toUpperCase() == "SELECT"),
		"'allow_add' => " + PhpBool(fld.FldSelectAllowAdd && !!fld.FldTagLnkTbl),
		"'distinct' => " + PhpBool(fld.FldTagLnkDistinct),
		"'parents' => " + FormParents(fld),
		"'fill' => " + (fld.FldAutoFill && fld.FldTagLnkTbl ? "['source' => " + FormNames(fld.FldAutoFillSourceFields) +
			", 'target' => " + FormNames(fld.FldAutoFillTargetFields) + "]" : "null"),
		"'auto' => " + FormText(String(fld.FldAutoUpdateValue || "")),
		"'html' => " + PhpBool(fld.FldUseDHTMLEditor),
		"'multi_upload' => " + PhpBool(fld.FldUploadMultiple),
		"'max_files' => " + PhpInt(fld.UploadMaxFileCount > 0 ? fld.UploadMaxFileCount : 0, 0),
		"'resize' => " + (resize ? "[" + PhpInt(fld.FldResizeWidth, 0) + ", " + PhpInt(fld.FldResizeHeight, 0) + ", " +
			PhpInt(fld.FldResizeQuality > 0 ? fld.FldResizeQuality : 85, 85) + "]" : "null")
	].join(", ") + "]";
}

// The page layout of multi-page forms: tabs (the default), pills or accordion.
function FormPageType(tbl) {
	var type = String(tbl.TblMultiPageType || PROJ.MultiPageType || "").toLowerCase();
	return ["tabs", "pills", "accordion", "collapse"].indexOf(type) >= 0 ? type : "tabs";
}

// What the forms need of a table (the runtime's 'form' entry).
function TableFormOf(tbl) {
	return "['multi_page' => ['add' => " + PhpBool(tbl.TblMultiPageAdd) + ", 'edit' => " + PhpBool(tbl.TblMultiPageEdit) +
		", 'view' => " + PhpBool(tbl.TblMultiPageView) + "], 'page_type' => " + PhpString(FormPageType(tbl)) +
		", 'confirm' => ['add' => " + PhpBool(tbl.TblAddConfirm) + ", 'edit' => " + PhpBool(tbl.TblEditConfirm) + "]" +
		", 'return' => ['add' => " + FormText(tbl.TblAddReturnPage) + ", 'edit' => " + FormText(tbl.TblEditReturnPage) + "]]";
}

// What the forms need of the project (config.php's 'forms').
function FormConfig() {
	return "['client_validate' => " + PhpBool(PROJ.ClientValidate) + ", 'server_validate' => " + PhpBool(PROJ.ServerValidate) + "]";
}
