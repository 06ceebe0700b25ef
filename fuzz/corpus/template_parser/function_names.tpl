<!--##
function zvFirst(a) {}
' function zvComment()
var f = function (b) {}
zvfunction glued()
  FUNCTION zvLast ( c )
##-->