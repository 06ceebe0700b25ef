// The generation driver: GenCheck prepares a generation and counts its pages without writing
// output; GenScript validates the project, translates the changed controls of the template
// package into script modules and generates the application. Neither throws: an abort leaves
// its message in ProjErr (empty on success).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "generation/output_writer.h"

namespace velmora {

class AGP;

// What a host decides for a whole run instead of answering each question.
struct GenerationOptions {
    // The remembered overwrite answer a run starts with: "" asks, "O" overwrites, "S" skips. It
    // answers only for existing files that no earlier run into the destination wrote.
    std::string overwrite;
    // Classify every file as the run would treat it, and write nothing into the destination.
    bool dryRun = false;
    // Write again the files of earlier runs that the user deleted.
    bool restoreDeleted = false;
};
void SetGenerationOptions(GenerationOptions options);
const GenerationOptions& CurrentGenerationOptions();

// Where the time of a generation went, in seconds: translating templates into script modules,
// running the modules for the pages, and writing into the destination (generated pages and the
// files of copy and folder controls).
struct GenerationTimings {
    double translate = 0;
    double script = 0;
    double write = 0;
};
// The timings of the last GenScript, also of one that aborted.
GenerationTimings LastGenerationTimings();
// What the last GenScript did to its destination, file by file (also one that aborted).
const GenerationSummary& LastGenerationSummary();

// The engine's two-part version ("12.0") that template packages are checked against, and the
// full version ("12.0.0") that language files must carry.
std::string EngineTwoPartVersion();

// The number of pages a generation would produce; 0 with ProjErr set when it aborts. Fills the
// item lists (each table's and the project's ControlList) that a host shows to the user.
std::int32_t GenCheck(const std::shared_ptr<AGP>& project);
void GenScript(const std::shared_ptr<AGP>& project);

// Makes GenCheck, GenScript and GenSummary members of the root object in scripts. A generation
// that a script starts while another runs fails with ProjErr set.
void PublishGenerationMembers();

}  // namespace velmora
