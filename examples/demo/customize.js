// Settings of the demo project on top of what the schema gives. shop.vlp was made with:
//   sqlite3 shop.db < shop.sql
//   velmora new shop.vlp --name "Velmora Shop" --db sqlite --file shop.db
//   velmora script customize.js shop.vlp
var p = new AGP();
if (!p.Load(scriptArgs[0], false)) throw new Error(p.ProjErr);
p.DefaultLanguageFile = "english.xml";
p.CharSet = "utf-8";
p.RecPerPage = 20;
p.SecType = "Table";
p.SecTbl = "employees";
p.SecLoginIDFld = "login";
p.SecPasswdFld = "password";
p.Destination = "../demo-app";
p.Template = "default";
p.LinkOnLeft = true;  // row links before the fields

function field(table, name) { return p.DB.Tables.Item(table).Fields.Item(name); }
function lookup(table, name, target, key, display, display2) {
    var f = field(table, name);
    f.FldHtmlTag = "SELECT";
    f.FldTagLnkTbl = target;
    f.FldTagLnkFld = key;
    f.FldTagLnkDisplay = display;
    if (display2) f.FldTagLnkDisp2 = display2;
    f.FldTagLnkOrderBy = display;
    f.FldGenerate = true;
    f.FldSearch = true;  // quick search matches the displayed text
}
lookup("products", "category_id", "categories", "category_id", "name");
lookup("orders", "customer_id", "customers", "customer_id", "last_name", "first_name");
field("orders", "customer_id").FldTagLnkOrderBy = "last_name, first_name";
lookup("orders", "employee_id", "employees", "employee_id", "last_name", "first_name");
field("orders", "employee_id").FldTagLnkOrderBy = "last_name, first_name";
lookup("order_lines", "order_id", "orders", "order_id", "order_id");
lookup("order_lines", "product_id", "products", "product_id", "name");
// Only products still sold can be put on an order.
field("order_lines", "product_id").FldSelectFilter = "NOT discontinued";

var status = field("orders", "status");
status.FldHtmlTag = "SELECT";
status.FldTagValues = '"new","New"\r\n"paid","Paid"\r\n"shipped","Shipped"\r\n"delivered","Delivered"';
field("customers", "email").FldValidate = "EMAIL";
field("products", "unit_price").FldFmtType = "Currency";
field("order_lines", "unit_price").FldFmtType = "Currency";
field("employees", "password").FldHtmlTag = "PASSWORD";
field("employees", "password").FldList = false;
field("employees", "password").FldView = false;
field("orders", "notes").FldHtmlTag = "TEXTAREA";
field("orders", "notes").FldList = false;
field("customers", "phone").FldList = false;
field("categories", "description").FldList = true;
field("orders", "customer_id").FldCaption = "Customer";
field("orders", "employee_id").FldCaption = "Employee";
field("order_lines", "order_id").FldCaption = "Order";
field("order_lines", "product_id").FldCaption = "Product";
field("products", "category_id").FldCaption = "Category";
// A picture of the product, uploaded on its form and downloaded from its view page.
field("products", "photo").FldHtmlTag = "FILE";
field("products", "photo").FldList = false;
field("products", "photo").FldCaption = "Photo";

var tables = ["categories", "products", "customers", "employees", "orders", "order_lines"];
for (var i = 0; i < tables.length; i++) {
    var t = p.DB.Tables.Item(tables[i]);
    t.TblSearch = true;
    t.TblExportCsv = true;
}
p.DB.Tables.Item("order_lines").TblCaption = "Order Lines";
// Products: an advanced search with an operator of the user's choice, a stock range, marked matches.
p.DB.Tables.Item("products").TblSearchHighlight = true;
p.DB.Tables.Item("products").TblExtSearchFldPerRow = 2;
["name", "unit_price", "photo"].forEach(function (n) { field("products", n).FldSearch = true; field("products", n).FldSrchOpr = "USER SELECT"; });
field("products", "discontinued").FldSearch = true;
field("products", "units_in_stock").FldSearch = true;
field("products", "units_in_stock").FldSrchOpr = ">=";
field("products", "units_in_stock").FldSrchOpr2 = "<=";
field("customers", "joined").FldSearch = true;
field("customers", "joined").FldSrchOpr = "BETWEEN";
// Categories are deleted several at once, all or none.
p.DB.Tables.Item("categories").TblMultiDelete = true;
// Lists and records export to every format; the office hears of every change to an order.
p.PrinterFriendly = true;
p.ExportHtml = true;
p.ExportWord = true;
p.ExportExcel = true;
p.ExportXml = true;
p.ExportPDF = true;
p.ExportEmail = true;
p.ListExport = true;
p.ViewExport = true;
field("categories", "description").FldExport = true;
p.RecipientEmail = "office@example.com";
p.DB.Tables.Item("orders").TblSendMailOnAdd = true;
p.DB.Tables.Item("orders").TblSendMailOnEdit = true;
p.DB.Tables.Item("orders").TblSendMailOnDelete = true;
// Two people editing the same order or product: the second save is refused.
p.DB.Tables.Item("orders").TblCheckConcurrentUpdate = true;
p.DB.Tables.Item("products").TblCheckConcurrentUpdate = true;

p.AddMasterDetail("orders", "order_lines");
p.AddMasterDetailRelation("orders", "order_lines", "order_id", "order_id");
p.AddMasterDetail("customers", "orders");
p.AddMasterDetailRelation("customers", "orders", "customer_id", "customer_id");
p.AddMasterDetail("categories", "products");
p.AddMasterDetailRelation("categories", "products", "category_id", "category_id");
// Order lines: counted on the order list, listed on the order's view page, added and edited
// with their order; a customer's orders and a category's products are listed on their view pages.
var lines = p.DB.Tables.Item("order_lines");
lines.TblDetailShowCount = true;
lines.TblDetailView = true;
lines.TblDetailAdd = true;
lines.TblDetailEdit = true;
p.DB.Tables.Item("orders").TblDetailView = true;
p.DB.Tables.Item("products").TblDetailView = true;

if (!p.Save(scriptArgs[0])) throw new Error(p.ProjErr);
print("saved", scriptArgs[0]);
