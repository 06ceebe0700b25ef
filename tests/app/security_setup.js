// Security settings of the test project made from tests/app/security_schema.sql:
//   velmora script security_setup.js P.vlp dynamic|static SMTP-PORT
// dynamic: levels and permissions in userlevels/userlevelpermissions, the audit trail in the
// audittrail table; static: the level column only (-1 administrator, else the default level with
// each table's TblSecurity), the audit trail in a file.
var p = new AGP();
if (!p.Load(scriptArgs[0], false)) throw new Error(p.ProjErr);
var dynamic = scriptArgs[1] == "dynamic";
p.DefaultLanguageFile = "english.xml";
p.SecType = "Table";
p.SecTbl = "users";
p.SecLoginIDFld = "login";
p.SecPasswdFld = "password";
p.SecEmailFld = "email";
p.CaseSensitivePassword = true;
p.DB.SecUserLevelFld = "level_id";
p.DB.SecuUserIDFld = "user_id";
p.DB.SecuParentUserIDFld = "parent_id";
p.DB.SecUserProfileFld = "profile";
p.LoginOption = "username,email,autologin";
if (dynamic) {
    p.DB.UseDynamicUserLevel = true;
    p.DB.UserLevelTbl = "userlevels";
    p.DB.UserLevelIdFld = "level_id";
    p.DB.UserLevelNameFld = "level_name";
    p.DB.UserLevelPrivTbl = "userlevelpermissions";
    p.DB.UserLevelPrivTblNameFld = "table_name";
    p.DB.UserLevelPrivUserLevelFld = "level_id";
    p.DB.UserLevelPrivPrivFld = "permission";
    p.AuditTrailPath = "audittrail";
}
p.SecRegisterPage = true;
p.RegisterMultiPage = true;
p.SecRegisterActivate = true;
p.SecRegisterActivateFld = "active";
p.SecRegisterConfirm = true;
p.SecForgetPwdPage = true;
p.SecForgotPwdCaptcha = true;
p.SecChangePwdPage = true;
p.SecChangeEmail = true;
p.SecLogInOutAuditTrail = true;
p.SecSenderEmail = "noreply@example.com";
p.SmtpServer = "127.0.0.1";
p.SmtpServerPort = parseInt(scriptArgs[2], 10);

var t = p.DB.Tables;
t.Item("users").Fields.Item("password").FldHtmlTag = "PASSWORD";
t.Item("users").Fields.Item("password").FldList = false;
t.Item("users").Fields.Item("password").FldView = false;
t.Item("users").Fields.Item("password").FldMin = "10";
t.Item("users").Fields.Item("full_name").FldRegister = true;
t.Item("users").Fields.Item("full_name").FldPageIndex = 2;
// anybody may read the articles; a note belongs to whoever wrote it
t.Item("articles").TblAnonymous = 8 | 32;
t.Item("notes").TblUserIDFld = "owner_id";
t.Item("notes").TblAuditTrail = true;
t.Item("articles").TblSecurity = "list,view,search";
t.Item("notes").TblSecurity = "list,view,add,edit";
t.Item("users").TblSecurity = "";
if (!p.Save(scriptArgs[0])) throw new Error(p.ProjErr);
