<!--##session body##-->
<h1><!--##=TABLE.TblName##--></h1>
<!--##include common.tpl/fields##-->
<p><!--##@Save##--> <!--##$"Page" + TABLE.Fields.Count()##--></p>
<!--## var n = 0;
	for (var f of TABLE.Fields) n += f.FldName.length; ##-->
<p>letters: <!--##=n##--></p>
<!--##/session##-->
<!--##session secure##-->
<?php require "login.php"; ?>
<!--##/session##-->
<!--##session views##-->
<p>a view</p>
<!--##/session##-->
