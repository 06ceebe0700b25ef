<!--##session fields##-->
<ul>
<!--## for (var f of TABLE.Fields) { ##-->
	<li><!--##=f.FldName##--></li>
<!--## } ##-->
</ul>
<!--##/session##-->
