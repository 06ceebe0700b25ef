<!--## zv_LoadCurrent(); ##-->
<html>
<head><title><!--##=TABLE.TblName##--></title></head>


<body><br /><?php
$text = <<<EOT


  kept as written
EOT;
?></body>
</html>
