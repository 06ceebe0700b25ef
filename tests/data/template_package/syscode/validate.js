function CheckTables() { return DB.Tables.Count() > 0; }
function CheckName() { PROJ.AddTrace("checked " + PROJ.ProjName); return PROJ.ProjName != "Invalid"; }
