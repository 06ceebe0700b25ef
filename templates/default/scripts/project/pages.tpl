<!--##session none##-->
<!--##/session##-->
