<!--## for (var t of DB.Tables) { ##--><grid of="<!--##=t.TblName##-->"/>
<!--## } ##-->