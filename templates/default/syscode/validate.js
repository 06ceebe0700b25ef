// Checks of the project before anything is generated. Each returns false with a message in
// PROJ.ProjErr when the project cannot give a working application.

// Helpers live in an object: every top-level function of this file runs as a check.
var zvProject = {
	table: function (name) {
		for (var t of DB.Tables) if (String(t.TblName).toLowerCase() == String(name).toLowerCase()) return t;
		return null;
	},
	field: function (table, name) {
		for (var f of table.Fields) if (String(f.FldName).toLowerCase() == String(name).toLowerCase()) return f;
		return null;
	},
	hasKey: function (table) {
		for (var f of table.Fields) if (f.FldIsPrimaryKey) return true;
		return false;
	}
};

// Security with a user table needs the table and its login and password fields.
function CheckSecurityTable() {
	var type = String(PROJ.SecType || "").toLowerCase().replace(/[\s_-]/g, "");
	if (type != "table" && type != "usertable") return true;
	var table = zvProject.table(PROJ.SecTbl || "");
	if (!table) {
		PROJ.ProjErr = "Security uses a user table, but the table '" + PROJ.SecTbl + "' is not in the project.";
		return false;
	}
	var pairs = [["login", PROJ.SecLoginIDFld], ["password", PROJ.SecPasswdFld]];
	for (var i = 0; i < pairs.length; i++) {
		if (!pairs[i][1] || !zvProject.field(table, pairs[i][1])) {
			PROJ.ProjErr = "Security uses the user table '" + table.TblName + "', but its " + pairs[i][0] +
				" field '" + (pairs[i][1] || "") + "' is not in that table.";
			return false;
		}
	}
	return true;
}

// Hard-coded credentials need both a login name and a password.
function CheckHardCodedLogin() {
	var type = String(PROJ.SecType || "").toLowerCase().replace(/[\s_-]/g, "");
	if (type == "" || type == "none" || type == "table" || type == "usertable") return true;
	if (!PROJ.SecLoginID || !PROJ.SecPasswd) {
		PROJ.ProjErr = "Security with a hard-coded login needs both a login name and a password.";
		return false;
	}
	return true;
}

// Edit and delete pages find a row by its key: a table without one cannot have them.
function CheckKeysForEditing() {
	for (var t of DB.Tables) {
		if (!t.TblGen || String(t.TblType).toUpperCase() != "TABLE" || zvProject.hasKey(t)) continue;
		if (t.TblEdit || t.TblDelete) {
			PROJ.ProjErr = "Table '" + t.TblName + "' has no primary key, so it cannot have edit or delete pages. " +
				"Switch off TblEdit and TblDelete for it, or give it a key.";
			return false;
		}
	}
	return true;
}

// A lookup must name a table of the project and a field of that table.
function CheckLookups() {
	for (var t of DB.Tables) {
		if (!t.TblGen) continue;
		for (var f of t.Fields) {
			if (!f.FldTagLnkTbl) continue;
			var target = zvProject.table(f.FldTagLnkTbl);
			if (!target || !zvProject.field(target, f.FldTagLnkFld || "")) {
				PROJ.ProjErr = "The lookup of field '" + t.TblName + "." + f.FldName + "' names '" +
					f.FldTagLnkTbl + "." + (f.FldTagLnkFld || "") + "', which is not in the project.";
				return false;
			}
		}
	}
	return true;
}
