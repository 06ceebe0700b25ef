<ul>
<!--## for (var t of DB.Tables) { ##-->
<li><a href="<!--##=t.TblVar##-->list.php"><!--##=t.TblName##--></a></li>
<!--## } ##-->
</ul>
