// The system-function library: script files listed in an index, each translated from template
// mark-up, wrapped as a member of SYSTEMFUNCTIONS when it is a function, and completed with the
// set-up code that lets other scripts modify a function's output.
#include "platform/script_engine.h"
#include "support/engine_state.h"
#include "support/text.h"
#include "support/text_file.h"
#include "template/parser.h"
#include "template/script_files.h"
#include "template/script_host.h"
#include "template/translate.h"

namespace velmora {

namespace {

constexpr std::string_view kSetupLines[] = {
    "(function() {",
    "    var _toString = function() {",
    "        return \"function() {\\n [native code]\\n}\";",
    "    }",
    "    // setup a system function",
    "    var setupFunction = function(f) {",
    "        f.toString = _toString; // protect the function",
    "        f.code = \"\";",
    "        f.result = \"\";",
    "        f.modifiers = [];",
    "        f.replace = function(re, txt) {",
    "            f.modifiers.push(function() {",
    "                this.result = this.result.replace(re, txt);",
    "            });",
    "        }",
    "        f.replace.toString = _toString;",
    "        f.concat = function() {",
    "            var args = arguments;",
    "            f.modifiers.push(function() {",
    "                for (var j = 0, len = args.length; j < len; j++) {",
    "                    this.result = this.result.concat(args[j]);",
    "                }",
    "            });",
    "        }",
    "        f.concat.toString = _toString;",
    "        f.modify = function() {",
    "            f.result = f.code;",
    "            if (f.modifiers.length > 0) {",
    "                for (var i = 0, len = f.modifiers.length; i < len; i++)",
    "                    f.modifiers[i].apply(f);",
    "            }",
    "        }",
    "        f.modify.toString = _toString;",
    "    }",
    "    // setup the methods",
    "    for (var i in SYSTEMFUNCTIONS) {",
    "        var m = SYSTEMFUNCTIONS[i];",
    "        if (typeof m == \"function\")",
    "            setupFunction(m);",
    "    }",
    "})();",
};

// A phrase id written in quotes in the template: enclosing quotes removed, then quoted for script.
std::string QuotedPhraseId(std::string_view name) {
    std::string id = Trim(name);
    while (id.size() >= 2 && (id.front() == '"' || id.front() == '\'') && id.back() == id.front())
        id = Trim(std::string_view(id).substr(1, id.size() - 2));
    return "\"" + ReplaceAll(id, "\"", "\"\"") + "\"";
}

}  // namespace

std::string TranslateSystemFunction(std::string_view text, bool multiline, bool indent) {
    AGParser parser;
    parser.Parse(text);
    if (!Engine().ProjErr.empty()) return std::string(text);
    std::string code;
    for (std::int32_t i = 1; i <= parser.Count(); ++i) {
        parser.SetBlockID(i);
        std::string name(parser.BlockName());
        switch (parser.BlockType()) {
        case agc_Block_Script:
            code += parser.BlockValue();
            code += "\r\n";
            break;
        case agc_Block_Function:
            code += "zvOut += " + name + ";\r\n";
            break;
        case agc_Block_FunctionIndent:
            break;
        case agc_Block_Language:
            code += "zvOut += Language.Phrase(" + QuotedPhraseId(name) + ");\r\n";
            break;
        case agc_Block_LanguageDynamic:
            code += "zvOut += Language.Phrase(" + name + ");\r\n";
            break;
        case agc_Block_Content: {
            std::string content(parser.BlockValue());
            if (!multiline) content = ReplaceAll(content, "\r\n", "");
            std::string literal = ToScriptLiteral(content, indent ? "zv_IndentWrk" : "");
            code += literal.empty() ? std::string("\r\n") : "zvOut += " + literal + ";\r\n";
            break;
        }
        default:
            break;
        }
    }
    return code;
}

SystemLibrary AssembleSystemLibrary(std::string_view syscode, std::string_view prefixPath,
                                    std::string_view suffixPath, ScriptEngine& test, std::string_view debugFolder) {
    SystemLibrary library;
    std::vector<ScriptFileEntry> files;
    if (!ListScriptFiles(syscode, files)) {
        Engine().ProjErr = "Load syscode file " + std::string(syscode) + " failed!";
        return library;
    }
    std::string prefix = prefixPath.empty() ? std::string() : ReadTextFile(ReplaceAll(prefixPath, "\\", "/"));
    std::string suffix = suffixPath.empty() ? std::string() : ReadTextFile(ReplaceAll(suffixPath, "\\", "/"));

    std::string plain;
    std::string members;
    for (const ScriptFileEntry& file : files) {
        std::string code = TranslateSystemFunction(ReadScriptFile(file.path), file.multiline, file.indent);
        if (file.function) {
            auto fill = [&](const std::string& text) {
                return ReplaceAll(ReplaceAll(text, "<name>", file.id), "<parm>", file.parm);
            };
            code = "\r\n// " + file.id + "\r\n" + file.id + ": function(" + file.parm + ") {\r\nvar zvOut = \"\";\r\n" +
                   fill(prefix) + "\r\n" + code + fill(suffix) +
                   "\r\nvar fn = arguments.callee; fn.code = zvOut; fn.modify(); zvOut = fn.result;\r\n"
                   "return zvOut;\r\n}";
        }
        if (!Engine().ProjErr.empty()) {
            Engine().ProjErr += ": " + file.value;
            WriteDebugFile(debugFolder, file.value, Engine().ProjErr + "\r\n" + code);
        }
        if (file.function) {
            if (!members.empty()) members += ",\r\n";
            members += code;
        } else {
            plain += code;
        }
        // A member alone is not a statement: compile it inside an object literal.
        std::string probe = file.function ? "var SYSTEMFUNCTIONS = {" + code + "\r\n};" : code;
        if (!test.AddCode(probe, file.value)) {
            WriteDebugFile(debugFolder, file.value, code);
            Engine().ProjErr = ScriptErrorReport(test.LastError(), file.value);
        }
    }
    if (prefix.empty() || suffix.empty()) {
        WriteDebugFile(debugFolder, "syscode.txt", "'missing syscodeprefix or syscodesuffix");
        return library;
    }
    library.code = plain + "\r\nvar SYSTEMFUNCTIONS = {\r\n" + members + "\r\n};\r\n";
    for (std::string_view line : kSetupLines) {
        library.code += line;
        library.code += "\r\n";
    }
    WriteDebugFile(debugFolder, "syscode.txt", library.code);
    library.complete = true;
    return library;
}

}  // namespace velmora
