#!/usr/bin/env python3
"""Deliberate faults, applied one at a time: each must make at least one of its tests fail.

    tests/fault_injection.py [BUILD_DIR] [FAULT_NAME...]

BUILD_DIR (default build) is a configured build of this checkout. For each fault the source text is
replaced, the targets its tests need are rebuilt, the tests run, and the file is restored (also
when the run is interrupted). Exit status 1 when a fault went unnoticed, does not build or no
longer applies."""
import os
import pathlib
import subprocess
import sys
import time

ROOT = pathlib.Path(__file__).resolve().parent.parent

# name, file, text, replacement, tests ("unit_<subsystem>" runs that test program, anything else
# is a ctest name).
FAULTS = [
    ("keyed collection ignores its compare mode", "src/model/core/super_collection.cpp",
     "compareMode == kTextCompare ? FoldCase(key)", "compareMode != kTextCompare ? FoldCase(key)",
     ["unit_model"]),
    ("condition 'ne' reads as 'eq'", "src/model/controls/condition.cpp",
     '{"ne", Operator::Ne}', '{"ne", Operator::Eq}', ["unit_model"]),
    ("translator drops the escape of a backslash", "src/template/translate.cpp",
     'out += "\\\\\\\\";', 'out += "\\\\";', ["unit_template"]),
    ("project writer leaves '&' bare in attributes", "src/persistence/project_writer.cpp",
     "case '&': text_ += \"&amp;\"; break;", "case '&': text_ += \"&\"; break;", ["unit_persistence"]),
    ("UTF-8 mark kept at the start of a text file", "src/support/text_file.cpp",
     "return SanitizeUtf8(std::string_view(*bytes).substr(kUtf8Mark.size()));",
     "return SanitizeUtf8(std::string_view(*bytes));", ["unit_support"]),
    ("sync misses a changed field size", "src/schema/sync_merge.cpp",
     "field.FldSize() != schema.FldSize()", "false", ["unit_schema", "integration.sync"]),
    ("lookup display skips unique text columns", "src/schema/foreign_keys.cpp",
     "if (IsShownText(*field) && field->FldUniqueIdx()) return field->FldName();",
     "if (false) return field->FldName();", ["unit_schema"]),
    ("permission field of any size accepted", "src/schema/permission_field_check.cpp",
     "if (*size >= kPermissionFieldMinSize) return {};", "if (*size >= 0) return {};", ["unit_schema"]),
    ("identifier quotes not doubled", "src/schema/db_quotes.cpp",
     "ReplaceAll(id, quoteEnd, std::string(quoteEnd) + std::string(quoteEnd))", "std::string(id)", ["unit_schema"]),
    ("SQLite NCHAR read as CHAR", "src/platform/db/sqlite_catalogue.cpp",
     'DeclaredType{"NCHAR", 130, kText}', 'DeclaredType{"NCHAR", 129, kText}', ["unit_db", "unit_schema"]),
    ("output names not lower-cased", "src/generation/output_naming.cpp",
     "return project.OutputNameLCase() ? FoldCase(name) : name;", "return name;", ["unit_generation"]),
    ("regeneration overwrites a page edited by hand", "src/generation/output_writer.cpp",
     "if (ContentHash(onDisk) == entry->hash) {", "if (true) {", ["unit_generation", "integration.regenerate"]),
    ("CSRF token not checked", "templates/default/assets/lib/csrf.php",
     "return is_string($own) && $own !== '' && $sent !== '' && hash_equals($own, $sent);", "return true;",
     ["integration.default_package"]),
    ("quotes not escaped in HTML", "templates/default/assets/lib/html.php",
     "ENT_QUOTES | ENT_SUBSTITUTE | ENT_HTML5", "ENT_NOQUOTES | ENT_SUBSTITUTE | ENT_HTML5",
     ["integration.default_package"]),
    ("LIKE wildcards in a search value not escaped", "templates/default/assets/lib/search.php",
     "$text = addcslashes($v, '\\\\%_');", "$text = $v;", ["integration.default_package"]),
    ("session survives a password change", "templates/default/assets/lib/auth.php",
     "$valid = $row !== null && $row['active'] && hash_equals(vm_security_stamp($row['password']), $stamp);",
     "$valid = $row !== null && $row['active'];",
     ["integration.security_package"]),
]


def run(command, cwd, log):
    with open(log, "ab") as out:
        return subprocess.run(command, cwd=cwd, stdout=out, stderr=subprocess.STDOUT).returncode


def targets_of(tests):
    wanted = {t for t in tests if t.startswith("unit_")}
    if any(not t.startswith("unit_") for t in tests):
        wanted.add("velmora")
    return sorted(wanted)


def caught(build, tests, log):
    """The first test that fails, or None."""
    for test in tests:
        if test.startswith("unit_"):
            rc = run([str(build / "tests" / test), "--gtest_brief=1"], build, log)
        else:
            rc = run(["ctest", "-R", f"^{test}$", "--output-on-failure"], build, log)
        if rc != 0:
            return test
    return None


def main():
    args = sys.argv[1:]
    build = pathlib.Path(args[0] if args else "build").resolve()
    only = set(args[1:])
    if not (build / "CMakeCache.txt").exists():
        sys.exit(f"{build} is not a configured build folder")
    log = build / "fault_injection.log"
    log.write_bytes(b"")
    subprocess.run(["bash", str(ROOT / "scripts" / "test-servers.sh")], stdout=subprocess.DEVNULL)
    missed = 0
    all_targets = set()
    for name, file, text, replacement, tests in FAULTS:
        if only and name not in only:
            continue
        path = ROOT / file
        original = path.read_bytes()
        source = original.decode()
        if source.count(text) != 1:
            print(f"NOT APPLIED  {name}: the text is not in {file} exactly once")
            missed += 1
            continue
        all_targets.update(targets_of(tests))
        started = time.monotonic()
        try:
            path.write_text(source.replace(text, replacement))
            # a fault that does not compile proves nothing about the tests
            built = run(["cmake", "--build", str(build), "--target", *targets_of(tests)], ROOT, log) == 0
            failing = caught(build, tests, log) if built else None
        finally:
            path.write_bytes(original)
        seconds = time.monotonic() - started
        if failing:
            print(f"CAUGHT       {name}: by {failing} ({seconds:.0f} s)")
        else:
            print(f"MISSED       {name}: " + (f"{', '.join(tests)} all passed" if built else "does not build")
                  + f" ({seconds:.0f} s)")
            missed += 1
    run(["cmake", "--build", str(build), "--target", *sorted(all_targets)], ROOT, log)
    print(f"{missed} fault(s) not caught; log: {log}" if missed else "every fault was caught")
    return 1 if missed else 0


if __name__ == "__main__":
    sys.exit(main())
