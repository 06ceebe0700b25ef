<!--##session fields##-->
<ul>
	<!--##~SYSTEMFUNCTIONS.FieldList(TABLE)##-->
</ul>
<!--##/session##-->
