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

// What the list page needs of a table. A table's own value of a setting the project also has
// wins when set; the button and drop-down styles need the project's setting and the table's
// (which new tables have on).
function ListSettingsOf(tbl) {
	var sort = TableOrProject(tbl.TblSortType, PROJ.SortType);
	var pager = TableOrProject(tbl.TblPagerStyle, PROJ.PagerStyle);
	return "['multi_delete' => " + PhpBool(tbl.TblMultiDelete || PROJ.MultiDelete) +
		", 'per_page_list' => " + PerPageList(tbl.TblRecPerPageList || PROJ.RecPerPageList) +
		", 'sort' => " + (sort == 2 ? 2 : sort == -1 ? 0 : 1) +
		", 'pager' => " + (pager == 1 ? 1 : 2) +
		", 'pager_top' => " + PhpBool(tbl.TblTopPageLink || PROJ.TopPageLink) +
		", 'pager_bottom' => " + PhpBool(tbl.TblBottomPageLink || PROJ.BottomPageLink) +
		", 'row_count' => " + PhpBool(tbl.TblDisplayRowCount) +
		", 'blank' => " + PhpBool(tbl.TblShowBlankListPage) +
		", 'links_left' => " + PhpBool(tbl.TblLinkOnLeft || PROJ.LinkOnLeft) +
		", 'buttons' => " + PhpBool(PROJ.UseButtonsForLinks && tbl.TblUseButtonsForLinks) +
		", 'dropdown' => " + PhpBool(PROJ.UseDropDownForListOptions && tbl.TblUseDropDownForListOptions) +
		", 'action_dropdown' => " + PhpBool(PROJ.UseDropDownForAction && tbl.TblUseDropDownForAction) +
		", 'inline_delete' => " + PhpBool(tbl.TblInlineDelete || PROJ.InlineDelete) +
		", 'multi_update' => " + PhpBool(tbl.TblMultiUpdate) +
		", 'inline_add' => " + PhpBool(tbl.TblInlineAdd) +
		", 'inline_copy' => " + PhpBool(tbl.TblInlineCopy) +
		", 'inline_edit' => " + PhpBool(tbl.TblInlineEdit) +
		", 'grid_add' => " + PhpBool(tbl.TblGridAdd) +
		", 'grid_edit' => " + PhpBool(tbl.TblGridEdit) +
		", 'per_row' => " + PhpInt(TableOrProject(tbl.TblRecPerRow, PROJ.RecPerRow), 0) +
		", 'class' => " + PhpString(CssName("vm-list-" + tbl.TblVar)) + "]";
}

// The page sizes a user may pick ("10,20,50,ALL") as a PHP list; 0 stands for all rows.
function PerPageList(text) {
	var out = [];
	for (var part of String(text || "").split(/[,;\s]+/)) {
		var n = /^all$/i.test(part) ? 0 : parseInt(part, 10);
		if (!isNaN(n) && n >= 0 && n <= 100000 && out.indexOf(n) < 0) out.push(n);
	}
	return "[" + out.join(", ") + "]";
}

// A class name made of letters, digits, "-" and "_" only.
function CssName(text) {
	return String(text).replace(/[^A-Za-z0-9_-]/g, "_");
}

// The class of a field's list cells and view value, or "" when no display setting needs one.
function FieldClass(tbl, fld) {
	var styled = fld.FldBold || fld.FldItalic || fld.FldColumnWrap || ColumnWidth(fld) != "" ||
		fld.FldTagImgWidth > 0 || fld.FldTagImgHeight > 0 || fld.FldTooltipWidth > 0;
	return styled ? CssName("vm-f-" + tbl.TblVar + "-" + String(fld.FldVar || fld.FldName).replace(/^x_/, "")) : "";
}

// FldColumnWidth as a CSS length ("120" is pixels), "" when unset or not a length.
function ColumnWidth(fld) {
	var m = /^\s*(\d{1,4}(?:\.\d+)?)\s*(px|%|em|rem|ch)?\s*$/i.exec(String(fld.FldColumnWidth || ""));
	return m ? m[1] + (m[2] ? m[2].toLowerCase() : "px") : "";
}

// A three-state number setting (-1 yes, 0 no, anything else the language's default).
function TriState(value) {
	var n = parseInt(value, 10);
	return n == -1 || n == 1 ? -1 : n == 0 ? 0 : -2;
}

// How the pages show a field's value: view tag, number format, link, image, tooltip, total.
function FieldDisplayOf(tbl, fld) {
	var prefix = String(fld.FldTagAPrefix || "");
	if (/^none$/i.test(prefix)) prefix = "";
	var aggregate = String(fld.FldAggregate || "").toUpperCase().replace(/\s+/g, "");
	return "['view_tag' => " + PhpString(/IMAGE/i.test(String(fld.FldViewTag || "")) ? "image" : "text") +
		", 'digits' => " + (fld.FldNumDigits > 0 ? PhpInt(fld.FldNumDigits, 0) : "null") +
		", 'lead' => " + TriState(fld.FldIncLeadDigit) +
		", 'paren' => " + TriState(fld.FldUseParen) +
		", 'group' => " + TriState(fld.FldGpDigits) +
		", 'href' => " + PhpText(fld.FldHrefFld) +
		", 'prefix' => " + PhpString(prefix) +
		", 'suffix' => " + PhpText(fld.FldTagASuffix) +
		", 'target' => " + PhpText(fld.FldTagATarget) +
		", 'thumb' => " + PhpBool(fld.FldViewThumbnail) +
		", 'tooltip' => " + PhpText(fld.FldTooltipFld) +
		", 'aggregate' => " + PhpString(aggregate) +
		", 'multi_update' => " + PhpBool(fld.FldMultiUpdate) +
		", 'class' => " + PhpString(FieldClass(tbl, fld)) + "]";
}

// A colour safe in the stylesheet: #rgb, #rrggbb (the # may be left out) or a colour's name.
function SafeColor(value) {
	var text = String(value || "").replace(/^\s+|\s+$/g, "");
	if (/^#?([0-9A-Fa-f]{3}|[0-9A-Fa-f]{6})$/.test(text)) return "#" + text.replace("#", "");
	return /^[A-Za-z]{3,20}$/.test(text) ? text.toLowerCase() : "";
}
