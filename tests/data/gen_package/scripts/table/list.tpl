<!--##session body##-->
<!--## zv_LoadCurrent(); ##-->
<h1><!--##=Caption(TABLE)##--></h1>
<!--##include common.tpl/fields##-->
<!--##/session##-->
<!--##session secure##-->
<?php require "login.php"; ?>
<!--##/session##-->
