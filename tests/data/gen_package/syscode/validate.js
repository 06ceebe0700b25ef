function CheckName() { return PROJ.ProjName != "Invalid"; }
