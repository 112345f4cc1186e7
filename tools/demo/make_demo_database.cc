// Writes the bundled demo database, a small SharePoint content database
// named WSS_Content_Demo. Usage: make_demo_database OUTPUT.mdf
#include <cstdio>

#include "database_builder.h"

int main(int argc, char** argv) {
  using namespace quill::fixture;
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_demo_database OUTPUT.mdf\n");
    return 2;
  }
  PrimaryFileSpec spec;
  spec.boot.versionNumber = 661;
  spec.boot.createVersionNumber = 661;
  spec.boot.databaseName = u"WSS_Content_Demo";
  spec.boot.collationId = 4104;  // Latin1_General_CI_AS_KS_WS, as SharePoint requires
  spec.pageCount = 128;
  // AllWebs, AllLists, AllDocs and AllDocStreams, by their object ids.
  spec.userTables = {{2089058478, 1}, {2105058535, 2}, {2121058592, 4}, {2137058649, 8}};
  if (!BuildPrimaryFile(spec).WriteTo(argv[1])) {
    std::fprintf(stderr, "make_demo_database: cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
