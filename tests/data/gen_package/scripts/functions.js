function Caption(tbl) { return tbl.TblCaption || tbl.TblName; }
