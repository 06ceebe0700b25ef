// Creates a project, loads the sample project into a second root object, and prints what each holds.
// Run: velmora script examples/scripts/project.js [SAMPLE.vlp]
var proj = new AGP();
proj.AddProj("Script Shop");
proj.BodyTitle = "Made from a script";
print("ProjName:", proj.ProjName);
print("ProjVar:", proj.ProjVar);
print("BodyTitle:", proj.BodyTitle);

if (scriptArgs.length > 0) {
    var sample = new AGP();
    if (!sample.Load(scriptArgs[0], false)) {
        throw new Error(sample.ProjErr);
    }
    print("Sample:", sample.ProjName, "with", sample.DB.Tables.Count(), "tables");
    var e = new Enumerator(sample.DB.Tables);
    for (; !e.atEnd(); e.moveNext()) {
        var t = e.item();
        print("  " + t.TblName + ": " + t.Fields.Count() + " fields");
    }
}
