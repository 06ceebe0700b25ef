<?php
<!--## var x = 1; ##-->
		<!--##~ Indent(x) ##-->
<p><!--##=  TABLE.TblCaption ##--></p>
<!--##@ AddLink ##--> <!--##$ "Id" + n ##-->
"quoted" \back\slash
