<!--##session hooks##-->
<!--##
	// Custom server code of the project for this page, as the functions the runtime calls.
	var zvHooks = [["page_load", ""], ["row_rendered", "array &$row"], ["row_inserting", "array &$values"],
		["row_updating", "array &$values"], ["row_deleting", "array $row"]];
	for (var i = 0; i < zvHooks.length; i++) {
		var zvCode = TABLE ? CustomCode(TABLE, CONTROLS.Item(CONTROLS.curIndex).CtrlID, zvHooks[i][0]) : "";
		if (zvCode == "") continue;
		var zvResult = zvHooks[i][0] == "page_load" || zvHooks[i][0] == "row_rendered" ? ": void" : ": bool";
##-->

function <!--##=zvHooks[i][0]##-->(<!--##=zvHooks[i][1]##-->)<!--##=zvResult##-->
{
<!--##=zvCode##-->
}
<!--## } ##-->
<!--##/session##-->
