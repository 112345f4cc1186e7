// Writes the bundled demo database, a small SharePoint content database
// named WSS_Content_Demo in the newer catalog layout: the content tables
// with three webs, six lists and forty documents (their bytes in
// AllDocStreams), and general tables with every column type, large values,
// deleted rows, keys, a foreign key and a page-compressed table; a view, a
// procedure, a function, a trigger, a default and a check constraint.
// With --2013, the second demo database: the same SharePoint content in
// the 2013 layout, its bytes in DocStreams pieces.
// Usage: make_demo_database OUTPUT.mdf [--2013]
#include <cstdio>
#include <string>

#include "catalog_builder.h"
#include "demo_sharepoint.h"
#include "demo_tables.h"
#include "object_values_builder.h"
#include "text_page_writer.h"

namespace {

using namespace quill::fixture;

// Page key of the large-value pages (the object id in their headers).
constexpr int32_t kLargeValuePageKey = 0x7FFF0001;

// The second demo database: the SharePoint content alone, in the 2013
// layout (stream pieces in DocStreams).
DatabaseDescription Demo2013Database(TextPageWriter& lobs) {
  DatabaseDescription description;
  description.boot.versionNumber = 661;
  description.boot.createVersionNumber = 661;
  description.boot.databaseName = u"WSS_Content_Demo2013";
  description.boot.collationId = 4104;
  description.pageCount = 16;
  description.dataFiles = {{.status = 2, .fileId = 1, .logicalName = "WSS_Content_Demo2013",
                     .physicalPath = "C:\\Program Files\\Microsoft SQL Server\\MSSQL11.MSSQLSERVER\\MSSQL\\DATA\\WSS_Content_Demo2013.mdf"}};
  quill::demo::AddSharePoint2013Tables(description, lobs);
  return description;
}

DatabaseDescription DemoDatabase(TextPageWriter& lobs) {
  DatabaseDescription description;
  description.boot.versionNumber = 661;
  description.boot.createVersionNumber = 661;
  description.boot.databaseName = u"WSS_Content_Demo";
  description.boot.collationId = 4104;  // Latin1_General_CI_AS_KS_WS, as SharePoint requires
  description.pageCount = 16;           // grows to what the pages need
  description.dataFiles = {{.status = 2, .fileId = 1, .logicalName = "WSS_Content_Demo",
                     .physicalPath = "C:\\Program Files\\Microsoft SQL Server\\MSSQL10_50.MSSQLSERVER\\MSSQL\\DATA\\WSS_Content_Demo.mdf"}};
  quill::demo::AddSharePointTables(description, lobs);
  quill::demo::AddGeneralTables(description, lobs);

  // Modules and constraints of DemoOrders, with their stored definitions.
  constexpr int32_t kDemoOrdersId = 277576027;
  AddModule(description, "vDocumentsBySize", "V ",
            "CREATE VIEW dbo.vDocumentsBySize AS\r\n"
            "SELECT LeafName, DirName, Size FROM dbo.AllDocs WHERE Size > 0");
  AddModule(description, "usp_OrdersOfType", "P ",
            "CREATE PROCEDURE dbo.usp_OrdersOfType @TypeId int AS\r\n"
            "BEGIN\r\n  SELECT OrderId, Quantity, Note FROM dbo.DemoOrders WHERE TypeId = @TypeId\r\nEND");
  AddModule(description, "fn_OrderTotal", "FN",
            "CREATE FUNCTION dbo.fn_OrderTotal(@TypeId int) RETURNS int AS\r\n"
            "BEGIN\r\n  RETURN (SELECT SUM(Quantity) FROM dbo.DemoOrders WHERE TypeId = @TypeId)\r\nEND");
  AddModule(description, "trg_DemoOrders_Audit", "TR",
            "CREATE TRIGGER dbo.trg_DemoOrders_Audit ON dbo.DemoOrders AFTER INSERT AS\r\n"
            "SET NOCOUNT ON",
            kDemoOrdersId);
  AddModule(description, "DF_DemoOrders_Quantity", "D ", "((1))", kDemoOrdersId);
  AddModule(description, "CK_DemoOrders_Quantity", "C ", "([Quantity]>=(0))", kDemoOrdersId);
  return description;
}

}  // namespace

int main(int argc, char** argv) {
  const bool layout2013 = argc == 3 && std::string(argv[2]) == "--2013";
  if (argc != 2 && !layout2013) {
    std::fprintf(stderr, "usage: make_demo_database OUTPUT.mdf [--2013]\n");
    return 2;
  }
  auto describe = layout2013 ? Demo2013Database : DemoDatabase;
  // The large values go after every page the catalog builder places. Their
  // references have the same size wherever they point, so a first layout
  // with provisional pages tells where the builder's pages end.
  TextPageWriter provisional(0, kLargeValuePageKey);
  const int32_t end = BuildCatalogDatabase(describe(provisional)).pageCount();

  TextPageWriter lobs(end, kLargeValuePageKey);
  const DatabaseDescription description = describe(lobs);
  CatalogDatabaseLayout layout;
  DataFileBuilder file = BuildCatalogDatabase(description, &layout);
  if (file.pageCount() != end) {
    std::fprintf(stderr, "make_demo_database: the layout changed between passes\n");
    return 1;
  }
  file.Resize(lobs.endPage());
  lobs.WriteTo(file);
  if (!layout2013) quill::demo::WriteCompressedPage(file, description, layout);
  if (!file.WriteTo(argv[1])) {
    std::fprintf(stderr, "make_demo_database: cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
