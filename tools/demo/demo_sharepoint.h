// The SharePoint content tables of the demo database, in the newer layout:
// AllSites, AllWebs, AllLists, AllDocs and AllDocStreams with the columns a
// reader of sites, lists and documents needs and some of their neighbours,
// holding two site collections, three webs, six lists, their folders and
// forty documents whose bytes sit in AllDocStreams.
#pragma once

#include "catalog_builder.h"
#include "text_page_writer.h"

namespace quill::demo {

// Further content for larger databases (the benchmarks): `webs` webs under
// the first site collection's root web, each with one document library of
// `documentsPerWeb` documents in its root folder. Their bytes are stored in
// AllDocStreams when `bytesPerDocument` is above 0 (document j of a library
// then holds bytesPerDocument + j bytes); otherwise they have none.
struct GeneratedContent {
  int webs = 0;
  int documentsPerWeb = 0;
  int64_t bytesPerDocument = 0;
};

// Appends the tables to `description`; the document bytes go through `lobs`.
void AddSharePointTables(fixture::DatabaseDescription& description, fixture::TextPageWriter& lobs,
                         const GeneratedContent& generated = {});

// The same content in the 2013 layout, for a second database: the bytes in
// DocStreams pieces mapped by DocsToStreams (document 110 in five pieces),
// no AllDocStreams.
void AddSharePoint2013Tables(fixture::DatabaseDescription& description, fixture::TextPageWriter& lobs);

}  // namespace quill::demo
