// Settings of list, search and form pages, written into the table descriptions.

// A table setting, or the project's when the table leaves it unset (0 or empty).
function TableOrProject(tblValue, projValue) {
	if (tblValue === undefined || tblValue === null || tblValue === "" || tblValue === 0) return projValue;
	return tblValue;
}

function PhpText(value) {
	return PhpString(value === undefined || value === null ? "" : String(value));
}

// A search operator as the runtime spells it: upper case, single spaces.
function SearchOperator(value) {
	return String(value || "").toUpperCase().replace(/\s+/g, " ").replace(/^\s+|\s+$/g, "");
}

// What the search pages need of a table.
function SearchSettingsOf(tbl) {
	var type = String(tbl.TblBasicSearchTypeDefault || PROJ.BasicSearchType || "").toUpperCase();
	var color = String(tbl.TblSearchColor || PROJ.HighlightColor || "");
	return "['basic' => " + PhpBool(tbl.TblBasicSearch || tbl.TblSearch || tbl.TblExtendedBasicSearch) +
		", 'advanced' => " + PhpBool(tbl.TblSearch) +
		", 'default' => " + PhpText(tbl.TblBasicSearchDefault) +
		", 'type' => " + PhpString(type) +
		", 'modal' => " + PhpBool(tbl.TblModalSearch || PROJ.ModalSearch) +
		", 'per_row' => " + PhpInt(tbl.TblExtSearchFldPerRow, 0) +
		", 'highlight' => " + PhpBool(tbl.TblSearchHighlight) +
		", 'color' => " + PhpString(color) + "]";
}

// What the search pages need of a field: whether it is on the advanced search form, its
// operators and its default values.
function FieldSearchOf(fld) {
	return "['on' => " + PhpBool(fld.FldSearch || fld.FldExtendedBasicSearch) +
		", 'opr' => " + PhpString(SearchOperator(fld.FldSrchOpr)) +
		", 'opr2' => " + PhpString(SearchOperator(fld.FldSrchOpr2)) +
		", 'default' => " + PhpText(fld.FldSearchDefault) +
		", 'default2' => " + PhpText(fld.FldSearchDefault2) + "]";
}

// What the list page needs of a table.
function ListSettingsOf(tbl) {
	return "['multi_delete' => " + PhpBool(tbl.TblMultiDelete || PROJ.MultiDelete) + "]";
}
