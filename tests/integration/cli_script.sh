#!/usr/bin/env bash
# velmora script: root objects made by a script, print and scriptArgs, errors and exit codes, and
# the encodings a script file may come in.
source "$(dirname "$0")/lib/common.sh" "$1"

out=$("$velmora" script "$root/examples/scripts/project.js" "$root/examples/sample.vlp")
check example-exit 0 $?
check example-project "ProjName: Script Shop|ProjVar: Script_Shop|BodyTitle: Made from a script" \
    "$(echo "$out" | head -3 | paste -sd'|')"
check example-tables 5 "$(echo "$out" | grep -c '^  .*fields$')"

# Two root objects share the engine-wide objects but not their properties.
cat > "$scratch/two.js" <<'JS'
var a = new AGP(), b = new AGP();
a.AddProj("First"); b.AddProj("Second");
print(a.ProjName, b.ProjName, scriptArgs.join("+"));
JS
check two-roots "First Second x+-y" "$("$velmora" script "$scratch/two.js" x -y)"

# A project loaded, changed and saved from a script reads back with the change.
cat > "$scratch/edit.js" <<'JS'
var p = new AGP();
if (!p.Load(scriptArgs[0], false)) throw new Error(p.ProjErr);
var t = p.DB.Tables.Item("orders");
t.TblCaption = "All orders";
t.Fields.Item(1).FldCaption = "Number";
if (!p.Save(scriptArgs[1])) throw new Error(p.ProjErr);
var q = new AGP();
q.Load(scriptArgs[1], false);
var u = q.DB.Tables.Item("orders");
print(u.TblCaption + "|" + u.Fields.Item(1).FldCaption + "|" + q.DB.Tables.Count());
JS
check script-round-trip "All orders|Number|5" "$("$velmora" script "$scratch/edit.js" "$root/examples/sample.vlp" "$scratch/edited.vlp" 2>/dev/null)"

# Operations of the root object that the template engine provides.
cat > "$scratch/engine.js" <<'JS'
var p = new AGP();
p.AddProj("Engine");
print(p.ListIncludedFiles("<!--##include common.tpl/header##--> <!--##include x##-->"));
print(p.ParseScript("<h1><!--##=PROJ.ProjName##--></h1>"));
JS
check engine-ops "common.tpl,x
<h1>Engine</h1>" "$("$velmora" script "$scratch/engine.js")"

# A script that loops forever stops at the time-out and reports the function.
"$velmora" settings set General ScriptEngineTimeout 300 --type 4
printf 'var p = new AGP();\nprint(p.ParseScript("<!--## while (true) {} ##-->x"));\nprint(p.ProjErr.split("\\r\\n")[0]);\n' > "$scratch/loop.js"
check loop-stops "Velmora (zvExParse): JavaScript runtime error (800A1393)" "$("$velmora" script "$scratch/loop.js" | tail -n 1)"

# A misspelt property is refused, and the report names the file and line.
printf 'var p = new AGP();\np.ProjNmae = "x";\n' > "$scratch/typo.js"
"$velmora" script "$scratch/typo.js" >/dev/null 2>"$scratch/err"; check typo-exit 1 $?
check typo-report 1 "$(grep -c '^Velmora (typo.js): .*line 2' "$scratch/err")"

printf 'var x = ;\n' > "$scratch/syntax.js"
"$velmora" script "$scratch/syntax.js" >/dev/null 2>"$scratch/err"; check syntax-exit 1 $?
check syntax-text "Text: var x = ;" "$(grep '^Text:' "$scratch/err")"

"$velmora" script "$scratch/none.js" >/dev/null 2>&1; check missing-exit 1 $?

# Scripts are UTF-8 with or without a mark, and UTF-16 when a mark says so.
python3 - "$scratch" <<'PY'
import sys
text = 'var s = "Grüße ü";\nprint(s.length, s);\n'
for name, data in [("utf8", text.encode()), ("utf8bom", b"\xef\xbb\xbf" + text.encode()),
                   ("utf16le", b"\xff\xfe" + text.encode("utf-16-le")), ("utf16be", b"\xfe\xff" + text.encode("utf-16-be"))]:
    open(f"{sys.argv[1]}/{name}.js", "wb").write(data)
PY
for encoding in utf8 utf8bom utf16le utf16be; do
    check "script-$encoding" "7 Grüße ü" "$("$velmora" script "$scratch/$encoding.js" 2>&1)"
done

# The XML document object, and members that read an element from it.
cat > "$scratch/xml.js" <<'JS'
var d = new XmlDocument();
var loaded = d.loadXML('<control id="list" type="table"><session type="include" value="header" parm="list"/>' +
    '<session type="key" value="hooks"/></control>');
var root = d.documentElement;
var sessions = root.selectNodes("session");
print([loaded, root.nodeName, root.getAttribute("type"), root.childNodes.length, root.attributes[1].nodeValue,
    sessions.length, d.selectSingleNode("//session[@type='key']").getAttribute("value"),
    sessions[0].xml.indexOf('parm="list"') > 0, d.loadXML("<broken"), d.documentElement == null].join("|"));
JS
check xml-document "true|control|table|2|table|2|hooks|true|false|true" "$("$velmora" script "$scratch/xml.js" 2>&1)"
cat > "$scratch/menu.js" <<'JS'
var p = new AGP();
p.Load(scriptArgs[0], false);
var d = new XmlDocument();
d.loadXML('<Menu MenuText="Shop orders"/>');
for (var item of p.MenuList) { item.Load(d.documentElement); print(item.MenuText); break; }
JS
check xml-member "Shop orders" "$("$velmora" script "$scratch/menu.js" "$root/examples/demo/shop.vlp" 2>/dev/null | tail -1)"

# The engine's helper objects a host creates besides the root object.
cat > "$scratch/objects.js" <<'JS'
var parser = new AGParser();
parser.Parse("a<!--## x = 1; ##-->b");
var reg = new cRegistry();
reg.SectionKey = "Software\\Velmora\\12.0\\General"; reg.ValueKey = "ScriptProbe"; reg.Value = "yes";
var cache = new AGPCache();
cache.Open("probe");
cache.AddCache("tpl", "a.js", new Date(2026, 0, 2), 10);
print([parser.Count, reg.Value, new AGPStatus().GetGUID().length > 30, new AGPFileCache().GetSession("x", "y"),
    new AGPSettings().LoadSettingType("Project", "nope"), cache.CheckCache("tpl", "A.js", new Date(2026, 0, 2), 10),
    cache.CheckCache("tpl", "b.js", new Date(2026, 0, 2), 10)].join("|"));
JS
check engine-objects "3|yes|true|||0|2" "$("$velmora" script "$scratch/objects.js" 2>&1)"

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
