<!--##session toolbar##-->
<nav><!--##=TABLE.TblName##--></nav>
<!--##/session##-->
