

  <?php // lookup of <!--##=DB.Tables.curName##-->.<!--##=TABLE ? TABLE.Fields.curName : ""##--> ?>
