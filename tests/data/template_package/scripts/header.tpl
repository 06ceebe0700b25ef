<html><!--##=PROJ.ProjName##-->
