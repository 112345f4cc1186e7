#include "demo_sharepoint.h"

#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "table_row_builder.h"
#include "value_bytes.h"

namespace quill::demo {

using namespace fixture;

namespace {

constexpr int64_t kNull = INT64_MIN;

enum ContentKind { kContentNone, kContentStream, kContentRbs };

// One physical AllDocs row: a web root, a folder, a page or a document at
// one publishing level. Sites, webs and lists are named by symbol (S1, W1,
// L1, ...), parents by row ("D-010") or "0" for the zero GUID.
struct DocRow {
  int number;
  const char* site;
  const char* web;
  const char* list;
  const char* parent;
  const char* dirName;
  const char* leafName;
  int type;
  int64_t doclibRowId;
  int level;
  int64_t size;
  const char* timeCreated;
  const char* timeLastModified;
  int uiVersion;
  int64_t internalVersion;
  int64_t docFlags;
  const char* setupPath;
  bool recycled;
  int64_t checkoutUserId;
  int64_t draftOwnerId;
  ContentKind content;
};

// Three webs in two site collections, six lists, 48 structure rows and
// forty documents (two of them at a second level).
constexpr DocRow kDocRows[] = {
    {1, "S1", "W1", nullptr, "0", "", "", 2, kNull, 1, kNull, "2019-03-04 09:12:31", "2019-03-04 09:12:31", 512, kNull, kNull, nullptr, false, kNull, kNull, kContentNone},
    {2, "S1", "W1", nullptr, "D-001", "", "default.aspx", 0, kNull, 1, 3472, "2019-03-04 09:12:31", "2019-03-04 09:12:31", 512, 256, 12, "SiteTemplates\\sts\\default.aspx", false, kNull, kNull, kContentNone},
    {3, "S1", "W1", nullptr, "D-001", "", "Lists", 1, kNull, 1, kNull, "2019-03-04 09:12:31", "2019-03-04 09:12:31", 512, kNull, kNull, nullptr, false, kNull, kNull, kContentNone},
    {4, "S2", "W2", nullptr, "0", "sites", "projects", 2, kNull, 1, kNull, "2019-05-20 14:03:10", "2019-05-20 14:03:10", 512, kNull, kNull, nullptr, false, kNull, kNull, kContentNone},
    {5, "S2", "W2", nullptr, "D-004", "sites/projects", "default.aspx", 0, kNull, 1, 3472, "2019-05-20 14:03:10", "2019-05-20 14:03:10", 512, 256, 12, "SiteTemplates\\sts\\default.aspx", false, kNull, kNull, kContentNone},
    {6, "S2", "W3", nullptr, "D-004", "sites/projects", "apollo", 2, kNull, 1, kNull, "2020-01-13 08:45:00", "2020-01-13 08:45:00", 512, kNull, kNull, nullptr, false, kNull, kNull, kContentNone},
    {7, "S2", "W3", nullptr, "D-006", "sites/projects/apollo", "default.aspx", 0, kNull, 1, 3472, "2020-01-13 08:45:00", "2020-01-13 08:45:00", 512, 256, 12, "SiteTemplates\\sts\\default.aspx", false, kNull, kNull, kContentNone},
    {8, "S2", "W3", nullptr, "D-006", "sites/projects/apollo", "Lists", 1, kNull, 1, kNull, "2020-01-13 08:45:00", "2020-01-13 08:45:00", 512, kNull, kNull, nullptr, false, kNull, kNull, kContentNone},
    {10, "S1", "W1", "L1", "D-001", "", "Shared Documents", 1, kNull, 1, kNull, "2019-03-04 09:12:40", "2019-03-04 09:12:40", 512, kNull, kNull, nullptr, false, kNull, kNull, kContentNone},
    {11, "S1", "W1", "L1", "D-010", "Shared Documents", "Forms", 1, kNull, 1, kNull, "2019-03-04 09:12:40", "2019-03-04 09:12:40", 512, kNull, kNull, nullptr, false, kNull, kNull, kContentNone},
    {12, "S1", "W1", "L1", "D-011", "Shared Documents/Forms", "AllItems.aspx", 0, kNull, 1, 2763, "2019-03-04 09:12:40", "2019-03-04 09:12:40", 512, 256, 12, "pages\\viewpage.aspx", false, kNull, kNull, kContentNone},
    {13, "S1", "W1", "L1", "D-011", "Shared Documents/Forms", "EditForm.aspx", 0, kNull, 1, 3090, "2019-03-04 09:12:40", "2019-03-04 09:12:40", 512, 256, 12, "pages\\form.aspx", false, kNull, kNull, kContentNone},
    {20, "S1", "W1", "L1", "D-010", "Shared Documents", "Policies", 1, 1, 1, kNull, "2019-03-11 08:25:00", "2019-03-11 08:25:00", 512, kNull, kNull, nullptr, false, kNull, kNull, kContentNone},
    {21, "S1", "W1", "L1", "D-020", "Shared Documents/Policies", "HR", 1, 2, 1, kNull, "2019-04-02 13:10:00", "2019-04-02 13:10:00", 512, kNull, kNull, nullptr, false, kNull, kNull, kContentNone},
    {22, "S1", "W1", "L1", "D-020", "Shared Documents/Policies", "IT", 1, 3, 1, kNull, "2019-05-06 08:55:00", "2019-05-06 08:55:00", 512, kNull, kNull, nullptr, false, kNull, kNull, kContentNone},
    {23, "S1", "W1", "L1", "D-010", "Shared Documents", "Templates", 1, 4, 1, kNull, "2019-03-20 09:58:00", "2019-03-20 09:58:00", 512, kNull, kNull, nullptr, false, kNull, kNull, kContentNone},
    {24, "S1", "W1", "L1", "D-010", "Shared Documents", "Reports", 1, 5, 1, kNull, "2020-12-01 09:55:00", "2020-12-01 09:55:00", 512, kNull, kNull, nullptr, false, kNull, kNull, kContentNone},
    {25, "S1", "W1", "L1", "D-024", "Shared Documents/Reports", "2020", 1, 6, 1, kNull, "2021-01-04 07:55:00", "2021-01-04 07:55:00", 512, kNull, kNull, nullptr, false, kNull, kNull, kContentNone},
    {26, "S1", "W1", "L1", "D-025", "Shared Documents/Reports/2020", "Q4", 1, 7, 1, kNull, "2021-01-04 07:56:00", "2021-01-04 07:56:00", 512, kNull, kNull, nullptr, false, kNull, kNull, kContentNone},
    {30, "S1", "W1", "L2", "D-003", "Lists", "Announcements", 1, kNull, 1, kNull, "2019-03-04 09:12:45", "2019-03-04 09:12:45", 512, kNull, kNull, nullptr, false, kNull, kNull, kContentNone},
    {31, "S1", "W1", "L2", "D-030", "Lists/Announcements", "AllItems.aspx", 0, kNull, 1, 2763, "2019-03-04 09:12:45", "2019-03-04 09:12:45", 512, 256, 12, "pages\\viewpage.aspx", false, kNull, kNull, kContentNone},
    {32, "S1", "W1", "L2", "D-030", "Lists/Announcements", "Attachments", 1, kNull, 1, kNull, "2019-03-04 09:12:45", "2019-03-04 09:12:45", 512, kNull, kNull, nullptr, false, kNull, kNull, kContentNone},
    {33, "S1", "W1", "L2", "D-032", "Lists/Announcements/Attachments", "1", 1, 1, 1, kNull, "2020-09-14 09:00:00", "2020-09-14 09:00:00", 512, kNull, kNull, nullptr, false, kNull, kNull, kContentNone},
    {34, "S1", "W1", "L2", "D-032", "Lists/Announcements/Attachments", "2", 1, 2, 1, kNull, "2020-11-20 12:00:00", "2020-11-20 12:00:00", 512, kNull, kNull, nullptr, false, kNull, kNull, kContentNone},
    {35, "S1", "W1", "L2", "D-030", "Lists/Announcements", "1_.000", 0, 1, 1, kNull, "2020-09-14 08:55:00", "2020-09-14 09:01:30", 512, kNull, kNull, nullptr, false, kNull, kNull, kContentNone},
    {36, "S1", "W1", "L2", "D-030", "Lists/Announcements", "2_.000", 0, 2, 1, kNull, "2020-11-20 11:58:00", "2020-11-20 12:00:00", 512, kNull, kNull, nullptr, false, kNull, kNull, kContentNone},
    {37, "S1", "W1", "L2", "D-030", "Lists/Announcements", "3_.000", 0, 3, 1, kNull, "2020-12-01 12:00:00", "2020-12-01 12:00:00", 512, kNull, kNull, nullptr, false, kNull, kNull, kContentNone},
    {40, "S1", "W1", "L3", "D-001", "", "SitePages", 1, kNull, 1, kNull, "2019-03-04 09:12:58", "2019-03-04 09:12:58", 512, kNull, kNull, nullptr, false, kNull, kNull, kContentNone},
    {50, "S2", "W2", "L4", "D-004", "sites/projects", "Shared Documents", 1, kNull, 1, kNull, "2019-05-20 14:03:22", "2019-05-20 14:03:22", 512, kNull, kNull, nullptr, false, kNull, kNull, kContentNone},
    {51, "S2", "W2", "L4", "D-050", "sites/projects/Shared Documents", "Forms", 1, kNull, 1, kNull, "2019-05-20 14:03:22", "2019-05-20 14:03:22", 512, kNull, kNull, nullptr, false, kNull, kNull, kContentNone},
    {52, "S2", "W2", "L4", "D-051", "sites/projects/Shared Documents/Forms", "AllItems.aspx", 0, kNull, 1, 2763, "2019-05-20 14:03:22", "2019-05-20 14:03:22", 512, 256, 12, "pages\\viewpage.aspx", false, kNull, kNull, kContentNone},
    {53, "S2", "W2", "L4", "D-050", "sites/projects/Shared Documents", "Contracts", 1, 1, 1, kNull, "2019-06-03 08:55:00", "2019-06-03 08:55:00", 512, kNull, kNull, nullptr, false, kNull, kNull, kContentNone},
    {54, "S2", "W2", "L4", "D-053", "sites/projects/Shared Documents/Contracts", "2019", 1, 2, 1, kNull, "2019-06-03 08:56:00", "2019-06-03 08:56:00", 512, kNull, kNull, nullptr, false, kNull, kNull, kContentNone},
    {55, "S2", "W2", "L4", "D-053", "sites/projects/Shared Documents/Contracts", "2020", 1, 3, 1, kNull, "2020-02-03 09:55:00", "2020-02-03 09:55:00", 512, kNull, kNull, nullptr, false, kNull, kNull, kContentNone},
    {56, "S2", "W2", "L4", "D-050", "sites/projects/Shared Documents", "Minutes", 1, 4, 1, kNull, "2020-01-15 18:00:00", "2020-01-15 18:00:00", 512, kNull, kNull, nullptr, false, kNull, kNull, kContentNone},
    {60, "S2", "W3", "L5", "D-008", "sites/projects/apollo/Lists", "Tasks", 1, kNull, 1, kNull, "2020-01-13 08:45:20", "2020-01-13 08:45:20", 512, kNull, kNull, nullptr, false, kNull, kNull, kContentNone},
    {61, "S2", "W3", "L5", "D-060", "sites/projects/apollo/Lists/Tasks", "AllItems.aspx", 0, kNull, 1, 2763, "2020-01-13 08:45:20", "2020-01-13 08:45:20", 512, 256, 12, "pages\\viewpage.aspx", false, kNull, kNull, kContentNone},
    {62, "S2", "W3", "L5", "D-060", "sites/projects/apollo/Lists/Tasks", "Attachments", 1, kNull, 1, kNull, "2020-01-13 08:45:20", "2020-01-13 08:45:20", 512, kNull, kNull, nullptr, false, kNull, kNull, kContentNone},
    {63, "S2", "W3", "L5", "D-062", "sites/projects/apollo/Lists/Tasks/Attachments", "1", 1, 1, 1, kNull, "2020-02-20 09:30:00", "2020-02-20 09:30:00", 512, kNull, kNull, nullptr, false, kNull, kNull, kContentNone},
    {64, "S2", "W3", "L5", "D-062", "sites/projects/apollo/Lists/Tasks/Attachments", "2", 1, 2, 1, kNull, "2020-02-21 16:45:00", "2020-02-21 16:45:00", 512, kNull, kNull, nullptr, false, kNull, kNull, kContentNone},
    {65, "S2", "W3", "L5", "D-060", "sites/projects/apollo/Lists/Tasks", "1_.000", 0, 1, 1, kNull, "2020-02-20 09:25:00", "2020-02-20 09:30:00", 512, kNull, kNull, nullptr, false, kNull, kNull, kContentNone},
    {66, "S2", "W3", "L5", "D-060", "sites/projects/apollo/Lists/Tasks", "2_.000", 0, 2, 1, kNull, "2020-02-21 16:40:00", "2020-02-21 16:46:10", 512, kNull, kNull, nullptr, false, kNull, kNull, kContentNone},
    {70, "S2", "W3", "L6", "D-006", "sites/projects/apollo", "Design Specs", 1, kNull, 1, kNull, "2020-01-13 09:30:00", "2020-01-13 09:30:00", 512, kNull, kNull, nullptr, false, kNull, kNull, kContentNone},
    {71, "S2", "W3", "L6", "D-070", "sites/projects/apollo/Design Specs", "Forms", 1, kNull, 1, kNull, "2020-01-13 09:30:00", "2020-01-13 09:30:00", 512, kNull, kNull, nullptr, false, kNull, kNull, kContentNone},
    {72, "S2", "W3", "L6", "D-071", "sites/projects/apollo/Design Specs/Forms", "AllItems.aspx", 0, kNull, 1, 2763, "2020-01-13 09:30:00", "2020-01-13 09:30:00", 512, 256, 12, "pages\\viewpage.aspx", false, kNull, kNull, kContentNone},
    {73, "S2", "W3", "L6", "D-070", "sites/projects/apollo/Design Specs", "Architecture", 1, 1, 1, kNull, "2020-01-20 09:55:00", "2020-01-20 09:55:00", 512, kNull, kNull, nullptr, false, kNull, kNull, kContentNone},
    {74, "S2", "W3", "L6", "D-073", "sites/projects/apollo/Design Specs/Architecture", "Diagrams", 1, 2, 1, kNull, "2020-01-23 14:55:00", "2020-01-23 14:55:00", 512, kNull, kNull, nullptr, false, kNull, kNull, kContentNone},
    {75, "S2", "W3", "L6", "D-070", "sites/projects/apollo/Design Specs", "UX", 1, 3, 1, kNull, "2020-02-05 12:55:00", "2020-02-05 12:55:00", 512, kNull, kNull, nullptr, false, kNull, kNull, kContentNone},
    {101, "S1", "W1", "L1", "D-010", "Shared Documents", "Welcome.docx", 0, 8, 1, 18342, "2019-03-05 10:02:11", "2019-03-05 10:02:11", 512, 256, 268, nullptr, false, kNull, kNull, kContentStream},
    {102, "S1", "W1", "L1", "D-020", "Shared Documents/Policies", "Code of Conduct.pdf", 0, 9, 1, 248913, "2019-03-11 08:30:00", "2019-03-11 08:30:00", 512, 256, 256, nullptr, false, kNull, kNull, kContentStream},
    {103, "S1", "W1", "L1", "D-021", "Shared Documents/Policies/HR", "Leave Policy.docx", 0, 10, 1, 27604, "2019-04-02 13:15:42", "2021-01-18 16:40:05", 1536, 768, 268, nullptr, false, kNull, kNull, kContentStream},
    {104, "S1", "W1", "L1", "D-021", "Shared Documents/Policies/HR", "Onboarding Checklist.xlsx", 0, 11, 1, 11276, "2019-04-15 11:20:00", "2020-09-01 07:45:12", 512, 256, 268, nullptr, false, kNull, kNull, kContentStream},
    {105, "S1", "W1", "L1", "D-021", "Shared Documents/Policies/HR", "Überstunden-Regelung.docx", 0, 12, 1, 21455, "2020-06-22 14:00:03", "2020-06-22 14:00:03", 512, 256, 268, nullptr, false, kNull, kNull, kContentStream},
    {106, "S1", "W1", "L1", "D-022", "Shared Documents/Policies/IT", "Acceptable Use.pdf", 0, 13, 1, 96540, "2019-05-06 09:00:00", "2019-05-06 09:00:00", 512, 256, 256, nullptr, false, kNull, kNull, kContentStream},
    {107, "S1", "W1", "L1", "D-022", "Shared Documents/Policies/IT", "Password Standard.docx", 0, 14, 1, 15880, "2019-05-07 12:12:12", "2019-05-07 12:12:12", 512, 256, 300, nullptr, false, 9, kNull, kContentStream},
    {107, "S1", "W1", "L1", "D-022", "Shared Documents/Policies/IT", "Password Standard.docx", 0, 14, 255, 16204, "2019-05-07 12:12:12", "2021-02-03 09:31:10", 513, 512, 300, nullptr, false, 9, kNull, kContentStream},
    {108, "S1", "W1", "L1", "D-023", "Shared Documents/Templates", "Letterhead.dotx", 0, 15, 1, 33910, "2019-03-20 10:00:00", "2019-03-20 10:00:00", 512, 256, 268, nullptr, false, kNull, kNull, kContentStream},
    {109, "S1", "W1", "L1", "D-023", "Shared Documents/Templates", "Slide Master.potx", 0, 16, 1, 154027, "2019-03-20 10:05:00", "2019-03-20 10:05:00", 512, 256, 268, nullptr, false, kNull, kNull, kContentStream},
    {110, "S1", "W1", "L1", "D-025", "Shared Documents/Reports/2020", "Annual Summary.pptx", 0, 17, 1, 312445, "2021-01-08 11:11:11", "2021-01-12 15:30:45", 512, 256, 268, nullptr, false, kNull, kNull, kContentStream},
    {111, "S1", "W1", "L1", "D-026", "Shared Documents/Reports/2020/Q4", "Sales Q4.xlsx", 0, 18, 1, 45118, "2021-01-04 08:00:00", "2021-01-06 17:59:59", 512, 256, 268, nullptr, false, kNull, kNull, kContentStream},
    {112, "S1", "W1", "L1", "D-026", "Shared Documents/Reports/2020/Q4", "Notes.txt", 0, 19, 1, 612, "2021-01-05 09:10:00", "2021-01-05 09:10:00", 512, 256, 256, nullptr, false, kNull, kNull, kContentStream},
    {113, "S1", "W1", "L1", "D-026", "Shared Documents/Reports/2020/Q4", "Empty Placeholder.txt", 0, 20, 1, 0, "2021-01-05 09:12:00", "2021-01-05 09:12:00", 512, 256, 256, nullptr, false, kNull, kNull, kContentStream},
    {114, "S1", "W1", "L1", "D-024", "Shared Documents/Reports", "Old Draft.docx", 0, 21, 1, 8001, "2020-12-01 10:00:00", "2020-12-01 10:00:00", 512, 256, 268, nullptr, true, kNull, kNull, kContentStream},
    {115, "S1", "W1", "L2", "D-033", "Lists/Announcements/Attachments/1", "floorplan.pdf", 0, 1, 1, 187334, "2020-09-14 09:00:00", "2020-09-14 09:00:00", 512, 256, 256, nullptr, false, kNull, kNull, kContentStream},
    {116, "S1", "W1", "L2", "D-033", "Lists/Announcements/Attachments/1", "moving-checklist.xlsx", 0, 1, 1, 9870, "2020-09-14 09:01:30", "2020-09-14 09:01:30", 512, 256, 268, nullptr, false, kNull, kNull, kContentStream},
    {117, "S1", "W1", "L2", "D-034", "Lists/Announcements/Attachments/2", "holidays-2021.pdf", 0, 2, 1, 64512, "2020-11-20 12:00:00", "2020-11-20 12:00:00", 512, 256, 256, nullptr, false, kNull, kNull, kContentStream},
    {118, "S1", "W1", "L3", "D-040", "SitePages", "Home.aspx", 0, 1, 1, 4061, "2019-03-04 09:13:02", "2019-03-04 09:13:02", 512, 256, 12, "DocumentTemplates\\wkpstd.aspx", false, kNull, kNull, kContentNone},
    {119, "S1", "W1", "L3", "D-040", "SitePages", "How To Use This Library.aspx", 0, 2, 1, 4061, "2019-03-04 09:13:02", "2019-03-04 09:13:02", 512, 256, 12, "DocumentTemplates\\wkpstd.aspx", false, kNull, kNull, kContentNone},
    {120, "S1", "W1", "L3", "D-040", "SitePages", "Team Wiki.aspx", 0, 3, 1, 5377, "2019-06-01 10:00:00", "2020-10-10 10:10:10", 512, 256, 76, "DocumentTemplates\\wkpstd.aspx", false, kNull, kNull, kContentStream},
    {121, "S2", "W2", "L4", "D-054", "sites/projects/Shared Documents/Contracts/2019", "Vendor A - MSA.pdf", 0, 5, 1, 402118, "2019-06-03 09:00:00", "2019-06-03 09:00:00", 512, 256, 256, nullptr, false, kNull, kNull, kContentStream},
    {122, "S2", "W2", "L4", "D-054", "sites/projects/Shared Documents/Contracts/2019", "Vendor B - SOW.docx", 0, 6, 1, 38450, "2019-07-15 14:22:05", "2019-07-15 14:22:05", 512, 256, 268, nullptr, false, kNull, kNull, kContentStream},
    {123, "S2", "W2", "L4", "D-055", "sites/projects/Shared Documents/Contracts/2020", "Vendor A - Renewal.pdf", 0, 7, 1, 356002, "2020-05-29 16:00:00", "2020-05-29 16:00:00", 512, 256, 256, nullptr, false, kNull, kNull, kContentRbs},
    {124, "S2", "W2", "L4", "D-055", "sites/projects/Shared Documents/Contracts/2020", "NDA Template.docx", 0, 8, 1, 22017, "2020-02-03 10:00:00", "2020-08-17 10:30:00", 512, 256, 268, nullptr, false, kNull, kNull, kContentStream},
    {125, "S2", "W2", "L4", "D-056", "sites/projects/Shared Documents/Minutes", "2020-01-15 Kickoff.docx", 0, 9, 1, 19770, "2020-01-15 18:05:00", "2020-01-15 18:05:00", 512, 256, 268, nullptr, false, kNull, kNull, kContentStream},
    {126, "S2", "W2", "L4", "D-056", "sites/projects/Shared Documents/Minutes", "2020-02-12 Steering.docx", 0, 10, 1, 20114, "2020-02-12 17:40:00", "2020-02-12 17:40:00", 512, 256, 268, nullptr, false, kNull, kNull, kContentStream},
    {127, "S2", "W2", "L4", "D-056", "sites/projects/Shared Documents/Minutes", "2020-03-11 Steering.docx", 0, 11, 1, 20503, "2020-03-11 17:30:00", "2020-03-11 17:30:00", 512, 256, 268, nullptr, false, kNull, kNull, kContentStream},
    {127, "S2", "W2", "L4", "D-056", "sites/projects/Shared Documents/Minutes", "2020-03-11 Steering.docx", 0, 11, 2, 20996, "2020-03-11 17:30:00", "2020-03-12 08:15:00", 513, 512, 268, nullptr, false, kNull, 5, kContentStream},
    {128, "S2", "W2", "L4", "D-050", "sites/projects/Shared Documents", "Budget 2020.xlsx", 0, 12, 1, 51842, "2019-11-28 09:00:00", "2020-06-30 18:00:00", 512, 256, 268, nullptr, false, kNull, kNull, kContentStream},
    {129, "S2", "W2", "L4", "D-050", "sites/projects/Shared Documents", "Project Charter.docx", 0, 13, 255, 29331, "2021-02-10 11:00:00", "2021-02-10 11:00:00", 1, 256, 300, nullptr, false, 5, kNull, kContentStream},
    {130, "S2", "W3", "L5", "D-063", "sites/projects/apollo/Lists/Tasks/Attachments/1", "review-agenda.docx", 0, 1, 1, 14226, "2020-02-20 09:30:00", "2020-02-20 09:30:00", 512, 256, 268, nullptr, false, kNull, kNull, kContentStream},
    {131, "S2", "W3", "L5", "D-064", "sites/projects/apollo/Lists/Tasks/Attachments/2", "requirements-v1.xlsx", 0, 2, 1, 17985, "2020-02-21 16:45:00", "2020-02-21 16:45:00", 512, 256, 268, nullptr, false, kNull, kNull, kContentStream},
    {132, "S2", "W3", "L5", "D-064", "sites/projects/apollo/Lists/Tasks/Attachments/2", "stakeholder-map.png", 0, 2, 1, 7950, "2020-02-21 16:46:10", "2020-02-21 16:46:10", 512, 256, 256, nullptr, false, kNull, kNull, kContentStream},
    {133, "S2", "W3", "L6", "D-073", "sites/projects/apollo/Design Specs/Architecture", "System Overview.docx", 0, 4, 1, 41006, "2020-01-20 10:00:00", "2020-04-02 12:00:00", 512, 256, 268, nullptr, false, kNull, kNull, kContentStream},
    {134, "S2", "W3", "L6", "D-073", "sites/projects/apollo/Design Specs/Architecture", "Interfaces.xlsx", 0, 5, 1, 26543, "2020-01-22 11:00:00", "2020-01-22 11:00:00", 512, 256, 268, nullptr, false, kNull, kNull, kContentStream},
    {135, "S2", "W3", "L6", "D-074", "sites/projects/apollo/Design Specs/Architecture/Diagrams", "Context.vsdx", 0, 6, 1, 58112, "2020-01-23 15:00:00", "2020-01-23 15:00:00", 512, 256, 268, nullptr, false, kNull, kNull, kContentStream},
    {136, "S2", "W3", "L6", "D-074", "sites/projects/apollo/Design Specs/Architecture/Diagrams", "Deployment.png", 0, 7, 1, 122880, "2020-01-23 15:10:00", "2020-01-23 15:10:00", 512, 256, 256, nullptr, false, kNull, kNull, kContentStream},
    {137, "S2", "W3", "L6", "D-075", "sites/projects/apollo/Design Specs/UX", "Wireframes.pdf", 0, 8, 1, 233019, "2020-02-05 13:00:00", "2020-02-05 13:00:00", 512, 256, 256, nullptr, false, kNull, kNull, kContentStream},
    {138, "S2", "W3", "L6", "D-075", "sites/projects/apollo/Design Specs/UX", "Personas.pptx", 0, 9, 1, 268774, "2020-02-06 09:00:00", "2020-02-06 09:00:00", 512, 256, 268, nullptr, false, kNull, kNull, kContentStream},
    {139, "S2", "W3", "L6", "D-070", "sites/projects/apollo/Design Specs", "Glossary.docx", 0, 10, 1, 12040, "2020-01-14 08:00:00", "2021-03-01 08:00:00", 512, 256, 268, nullptr, false, kNull, kNull, kContentStream},
    {140, "S2", "W3", "L6", "D-070", "sites/projects/apollo/Design Specs", "設計メモ.txt", 0, 11, 1, 1284, "2020-03-03 03:03:03", "2020-03-03 03:03:03", 512, 256, 256, nullptr, false, kNull, kNull, kContentStream},
};

struct WebRow {
  const char* id;
  const char* site;
  const char* fullUrl;
  const char* parent;
  int author;
  const char* title;
  const char* description;
  const char* timeCreated;
  int locale;
};

constexpr WebRow kWebRows[] = {
    {"W1", "S1", "", nullptr, 1, "Contoso Intranet", "", "2019-03-04 09:12:31", 1033},
    {"W2", "S2", "sites/projects", nullptr, 1, "Projects", "", "2019-05-20 14:03:10", 1033},
    {"W3", "S2", "sites/projects/apollo", "W2", 5, "Apollo", "Apollo programme workspace",
     "2020-01-13 08:45:00", 1031},
};

struct ListRow {
  const char* id;
  const char* site;
  const char* web;
  const char* title;
  const char* created;
  int author;
  int baseType;
  int serverTemplate;
  const char* featureId;
  const char* rootFolder;
  const char* imageUrl;
  int itemCount;
};

constexpr char kLibraryFeature[] = "00bfea71-e717-4e80-aa17-d0c71b360101";

constexpr ListRow kListRows[] = {
    {"L1", "S1", "W1", "Documents", "2019-03-04 09:12:40", 1, 1, 101, kLibraryFeature, "D-010",
     "/_layouts/images/itdl.gif", 20},
    {"L2", "S1", "W1", "Announcements", "2019-03-04 09:12:45", 1, 0, 104,
     "00bfea71-d1ce-42de-9c63-a44004ce0104", "D-030", "/_layouts/images/itann.gif", 3},
    {"L3", "S1", "W1", "Site Pages", "2019-03-04 09:12:58", 1, 1, 119,
     "00bfea71-c796-4402-9f2f-0eb9a6e71b18", "D-040", "/_layouts/images/itdl.gif", 3},
    {"L4", "S2", "W2", "Documents", "2019-05-20 14:03:22", 1, 1, 101, kLibraryFeature, "D-050",
     "/_layouts/images/itdl.gif", 13},
    {"L5", "S2", "W3", "Tasks", "2020-01-13 08:45:20", 5, 0, 107,
     "00bfea71-a83e-497e-9ba0-7a5c597d0107", "D-060", "/_layouts/images/itgen.gif", 2},
    {"L6", "S2", "W3", "Design Specs", "2020-01-13 09:30:00", 5, 1, 101, kLibraryFeature, "D-070",
     "/_layouts/images/itdl.gif", 11},
};

struct SiteRow {
  const char* id;
  const char* fullUrl;
  const char* rootWeb;
  const char* timeCreated;
};

constexpr SiteRow kSiteRows[] = {
    {"S1", "/", "W1", "2019-03-04 09:12:31"},
    {"S2", "/sites/projects", "W2", "2019-05-20 14:03:10"},
};

// The GUID text of a symbol: S1 site collection, W1 web, L1 list, D-010
// AllDocs row, SC1 security scope, TX1 delete transaction, "0" zero GUID.
std::string GuidOf(std::string_view symbol) {
  auto tail = [](std::string_view digits) { return std::string(12 - digits.size(), '0') + std::string(digits); };
  if (symbol == "0") return "00000000-0000-0000-0000-000000000000";
  if (symbol.starts_with("D-")) return "D0000000-0000-4000-8000-" + tail(symbol.substr(2));
  if (symbol.starts_with("SC")) return "5C000000-0000-4000-8000-" + tail(symbol.substr(2));
  if (symbol.starts_with("TX")) return "7E000000-0000-4000-8000-" + tail(symbol.substr(2));
  if (symbol.starts_with("S")) return "51000000-0000-4000-8000-" + tail(symbol.substr(1));
  if (symbol.starts_with("W")) return "3E000000-0000-4000-8000-" + tail(symbol.substr(1));
  if (symbol.starts_with("L")) return "11000000-0000-4000-8000-" + tail(symbol.substr(1));
  return GuidOf("0");
}

CellValue Guid(const char* symbol) {
  return symbol == nullptr ? CellValue::Null() : CellValue::Of(stored::Guid(GuidOf(symbol)));
}
CellValue Int(int64_t value, size_t width = 4) {
  return value == kNull ? CellValue::Null() : CellValue::Of(stored::LittleEndian(value, width));
}
CellValue Text(const char* text) { return text == nullptr ? CellValue::Null() : CellValue::Of(Utf16Le(text)); }
CellValue When(const char* text) {
  return text == nullptr ? CellValue::Null() : CellValue::Of(stored::Datetime(stored::ParseCivilTime(text)));
}
std::string ScopeOf(const char* site) { return std::string(site) == "S1" ? "SC1" : "SC2"; }

ColumnDescription NotNull(ColumnDescription column) {
  column.nullable = false;
  return column;
}

bool EndsWith(std::string_view text, std::string_view end) {
  return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

// The bytes of document `number` in content version `version`: a text line
// repeated for .txt files, otherwise a type header and a counting filler.
Bytes DocumentBytes(int number, int version, std::string_view leaf_name, size_t size) {
  Bytes out;
  out.reserve(size);
  if (EndsWith(leaf_name, ".txt")) {
    const std::string line = "Sample text for document " + std::to_string(number) + " version " +
                             std::to_string(version) + ".\r\n";
    while (out.size() < size) out.push_back(static_cast<uint8_t>(line[out.size() % line.size()]));
    return out;
  }
  Bytes header;
  if (EndsWith(leaf_name, ".pdf")) header = stored::Ansi("%PDF-1.7\n");
  else if (EndsWith(leaf_name, ".png")) header = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  else if (EndsWith(leaf_name, ".aspx")) header = stored::Ansi("<%@ Page");
  else header = {'P', 'K', 0x03, 0x04};
  for (size_t i = 0; i < size; ++i) {
    out.push_back(i < header.size() ? header[i]
                                    : static_cast<uint8_t>((i * 31 + static_cast<size_t>(number) * 7 +
                                                            static_cast<size_t>(version) * 13) % 251));
  }
  return out;
}

// Rows generated beside the fixed ones (GeneratedContent): web k is W<101+k>
// under the first site collection's root web, with one document library
// L<101+k> whose root folder is AllDocs row D-<1000000+k*10000> and whose
// documents are the rows after it.
struct GeneratedRows {
  std::deque<std::string> texts;  // the strings the rows point into
  std::vector<WebRow> webs;
  std::vector<ListRow> lists;
  std::vector<DocRow> docs;

  const char* Keep(std::string text) { return texts.emplace_back(std::move(text)).c_str(); }
};

GeneratedRows Generate(const GeneratedContent& generated) {
  constexpr int kFirstNumber = 101;
  constexpr int kFirstDocNumber = 1000000;
  constexpr int kDocNumbersPerWeb = 10000;
  constexpr const char* kCreated = "2021-06-01 10:00:00";
  GeneratedRows rows;
  for (int k = 0; k < generated.webs; ++k) {
    const std::string n = std::to_string(kFirstNumber + k);
    const char* web = rows.Keep("W" + n);
    const char* list = rows.Keep("L" + n);
    const char* url = rows.Keep("teams/team" + n);
    const int root_number = kFirstDocNumber + k * kDocNumbersPerWeb;
    const char* root = rows.Keep("D-" + std::to_string(root_number));
    rows.webs.push_back({web, "S1", url, "W1", 1, rows.Keep("Team " + n), "", kCreated, 1033});
    rows.lists.push_back({list, "S1", web, "Documents", kCreated, 1, 1, 101, kLibraryFeature, root,
                          "/_layouts/images/itdl.gif", generated.documentsPerWeb});
    rows.docs.push_back({root_number, "S1", web, list, "0", url, "Shared Documents", 1, kNull, 1, kNull,
                         kCreated, kCreated, 512, kNull, kNull, nullptr, false, kNull, kNull, kContentNone});
    const char* folder = rows.Keep(std::string(url) + "/Shared Documents");
    const bool stored = generated.bytesPerDocument > 0;
    for (int j = 1; j <= generated.documentsPerWeb; ++j) {
      rows.docs.push_back({root_number + j, "S1", web, list, root, folder,
                           rows.Keep("Report " + std::to_string(j) + ".docx"), 0, j, 1,
                           (stored ? generated.bytesPerDocument : 1024) + j, kCreated, kCreated, 512, 256, 268,
                           nullptr, false, kNull, kNull, stored ? kContentStream : kContentNone});
    }
  }
  return rows;
}

// What document extraction must also handle, beside the rows above: the
// two historical versions of 103 (their stream rows, and AllDocVersions),
// and a deleted document whose rows survive as ghost records.
struct HistoricalVersion {
  int uiVersion;
  int64_t internalVersion;
  int64_t size;
  const char* timeCreated;
  int contentVersion;  // v of the content recipe
};
constexpr HistoricalVersion kVersionsOf103[] = {
    {512, 256, 24880, "2019-04-02 13:15:42", 1},
    {1024, 512, 26112, "2020-02-10 09:05:17", 2},
};
constexpr int kGhostRecordKind = 6;
constexpr DocRow kDeletedDocument = {141, "S1", "W1", "L1", "D-022", "Shared Documents/Policies/IT", "Retired Policy.docx", 0, 22, 1, 9300, "2018-11-02 10:00:00", "2020-07-01 12:00:00", 512, 256, 268, nullptr, false, kNull, kNull, kContentStream};

TableDescription AllSites() {
  TableDescription table{.name = "AllSites", .objectId = 1977058079, .clustered = true};
  table.columns = {NotNull(Column("Id", "uniqueidentifier")), NotNull(Column("FullUrl", "nvarchar", 520)),
                   NotNull(Column("RootWebId", "uniqueidentifier")), NotNull(Column("TimeCreated", "datetime")),
                   Column("UserInfoListId", "uniqueidentifier")};
  table.primaryKey = KeyDescription{.name = "Sites_PK", .columnIds = {1}};
  int n = 0;
  for (const SiteRow& site : kSiteRows) {
    const std::string user_list = "11000000-0000-4000-8000-00000000090" + std::to_string(++n);
    table.rows.push_back(TableRowRecord(table.columns, {Guid(site.id), Text(site.fullUrl), Guid(site.rootWeb),
                                                        When(site.timeCreated),
                                                        CellValue::Of(stored::Guid(user_list))}));
  }
  return table;
}

TableDescription AllWebs(const std::vector<WebRow>& generated) {
  TableDescription table{.name = "AllWebs", .objectId = 2089058478, .clustered = true};
  table.columns = {NotNull(Column("Id", "uniqueidentifier")),
                   NotNull(Column("SiteId", "uniqueidentifier")),
                   NotNull(Column("FullUrl", "nvarchar", 512)),
                   Column("ParentWebId", "uniqueidentifier"),
                   NotNull(Column("ProductVersion", "smallint")),
                   NotNull(Column("FirstUniqueAncestorWebId", "uniqueidentifier")),
                   NotNull(Column("Author", "int")),
                   Column("Title", "nvarchar", 510),
                   NotNull(Column("TimeCreated", "datetime")),
                   Column("Description", "nvarchar", -1),
                   NotNull(Column("ScopeId", "uniqueidentifier")),
                   NotNull(Column("WebTemplate", "int")),
                   NotNull(Column("Language", "int")),
                   NotNull(Column("Locale", "int"))};
  table.primaryKey = KeyDescription{.name = "Webs_PK", .columnIds = {2, 1}};
  std::vector<WebRow> rows(std::begin(kWebRows), std::end(kWebRows));
  rows.insert(rows.end(), generated.begin(), generated.end());
  for (const WebRow& web : rows) {
    const std::string scope = ScopeOf(web.site);
    table.rows.push_back(TableRowRecord(
        table.columns,
        {Guid(web.id), Guid(web.site), Text(web.fullUrl), Guid(web.parent), Int(4, 2),
         Guid(web.parent ? web.parent : web.id), Int(web.author), Text(web.title), When(web.timeCreated),
         Text(web.description), Guid(scope.c_str()), Int(1), Int(1033), Int(web.locale)}));
  }
  return table;
}

TableDescription AllLists(const std::vector<ListRow>& generated) {
  TableDescription table{.name = "AllLists", .objectId = 2105058535, .clustered = true};
  table.columns = {NotNull(Column("tp_WebId", "uniqueidentifier")),
                   NotNull(Column("tp_ID", "uniqueidentifier")),
                   NotNull(Column("tp_Title", "nvarchar", 510)),
                   NotNull(Column("tp_Created", "datetime")),
                   NotNull(Column("tp_Version", "int")),
                   Column("tp_Author", "int"),
                   NotNull(Column("tp_BaseType", "int")),
                   Column("tp_FeatureId", "uniqueidentifier"),
                   NotNull(Column("tp_ServerTemplate", "int")),
                   NotNull(Column("tp_RootFolder", "uniqueidentifier")),
                   NotNull(Column("tp_ImageUrl", "nvarchar", 510)),
                   NotNull(Column("tp_ItemCount", "int")),
                   Column("tp_Description", "ntext")};
  table.primaryKey = KeyDescription{.name = "AllLists_PK", .columnIds = {1, 2}};
  std::vector<ListRow> rows(std::begin(kListRows), std::end(kListRows));
  rows.insert(rows.end(), generated.begin(), generated.end());
  for (const ListRow& list : rows) {
    table.rows.push_back(TableRowRecord(
        table.columns,
        {Guid(list.web), Guid(list.id), Text(list.title), When(list.created), Int(1), Int(list.author),
         Int(list.baseType), CellValue::Of(stored::Guid(list.featureId)), Int(list.serverTemplate),
         Guid(list.rootFolder), Text(list.imageUrl), Int(list.itemCount), CellValue::Null()}));
  }
  return table;
}

TableDescription AllDocs(const std::vector<DocRow>& generated) {
  TableDescription table{.name = "AllDocs", .objectId = 2121058592, .clustered = true};
  table.columns = {NotNull(Column("Id", "uniqueidentifier")),
                   NotNull(Column("SiteId", "uniqueidentifier")),
                   NotNull(Column("DirName", "nvarchar", 512)),
                   NotNull(Column("LeafName", "nvarchar", 256)),
                   NotNull(Column("Level", "tinyint")),
                   NotNull(Column("ParentId", "uniqueidentifier")),
                   NotNull(Column("DeleteTransactionId", "varbinary", 16)),
                   NotNull(Column("WebId", "uniqueidentifier")),
                   Column("ListId", "uniqueidentifier"),
                   Column("DoclibRowId", "int"),
                   NotNull(Column("Type", "tinyint")),
                   NotNull(Column("SortBehavior", "tinyint")),
                   Column("Size", "int"),
                   Column("InternalVersion", "int"),
                   NotNull(Column("UIVersion", "int")),
                   Column("DocFlags", "int"),
                   NotNull(Column("TimeCreated", "datetime")),
                   NotNull(Column("TimeLastModified", "datetime")),
                   NotNull(Column("SetupPathVersion", "tinyint")),
                   Column("SetupPath", "nvarchar", 510),
                   Column("CheckoutUserId", "int"),
                   Column("DraftOwnerId", "int"),
                   NotNull(Column("IsCurrentVersion", "bit")),
                   Column("ScopeId", "uniqueidentifier")};
  table.primaryKey = KeyDescription{.name = "AllDocs_PK", .columnIds = {2, 7, 6, 1, 5}};
  std::vector<DocRow> rows(std::begin(kDocRows), std::end(kDocRows));
  rows.push_back(kDeletedDocument);
  rows.insert(rows.end(), generated.begin(), generated.end());
  for (const DocRow& doc : rows) {
    const std::string id = "D-" + std::to_string(doc.number);
    const std::string scope = ScopeOf(doc.site);
    const CellValue transaction = CellValue::Of(doc.recycled ? stored::Guid(GuidOf("TX1")) : Bytes{});
    table.rows.push_back(TableRowRecord(
        table.columns,
        {Guid(id.c_str()), Guid(doc.site), Text(doc.dirName), Text(doc.leafName), Int(doc.level, 1),
         Guid(doc.parent), transaction, Guid(doc.web), Guid(doc.list), Int(doc.doclibRowId),
         Int(doc.type, 1), Int(doc.type == 0 ? 0 : 1, 1), Int(doc.size), Int(doc.internalVersion),
         Int(doc.uiVersion), Int(doc.docFlags), When(doc.timeCreated), When(doc.timeLastModified), Int(4, 1),
         Text(doc.setupPath), Int(doc.checkoutUserId), Int(doc.draftOwnerId), Int(1, 1), Guid(scope.c_str())},
        doc.number == kDeletedDocument.number ? kGhostRecordKind : 0));
  }
  return table;
}


// v of the content recipe: 1 for a document's first content, 3 for the
// current content of 103, 2 for the check-out copy of 107 and the draft of
// 127 (their second content); 129 has only its check-out copy, its first.
int ContentVersion(const DocRow& doc) {
  if (doc.number == 103) return 3;
  return doc.level == 1 || doc.number == 129 ? 1 : 2;
}

Bytes ContentOf(const DocRow& doc, int version, int64_t size) {
  return DocumentBytes(doc.number, version, doc.leafName, static_cast<size_t>(size));
}

const DocRow& DocRowNumbered(int number) {
  for (const DocRow& doc : kDocRows) {
    if (doc.number == number) return doc;
  }
  return kDocRows[0];
}

void AddExtractionCases(TableDescription& streams, TextPageWriter& lobs) {
  const DocRow& leave_policy = DocRowNumbered(103);
  for (const HistoricalVersion& version : kVersionsOf103) {
    streams.rows.push_back(TableRowRecord(
        streams.columns,
        {Guid("D-103"), Guid(leave_policy.site), Int(version.internalVersion),
         CellValue::Reference(lobs.StoreInRowRoot(ContentOf(leave_policy, version.contentVersion, version.size))),
         CellValue::Null()}));
  }
  const DocRow& gone = kDeletedDocument;
  streams.rows.push_back(TableRowRecord(
      streams.columns,
      {Guid("D-141"), Guid(gone.site), Int(gone.internalVersion),
       CellValue::Reference(lobs.StoreInRowRoot(ContentOf(gone, 1, gone.size))), CellValue::Null()},
      kGhostRecordKind));
}

TableDescription AllDocVersions() {
  TableDescription table{.name = "AllDocVersions", .objectId = 2041058307, .clustered = true};
  table.columns = {NotNull(Column("SiteId", "uniqueidentifier")), NotNull(Column("Id", "uniqueidentifier")),
                   NotNull(Column("UIVersion", "int")),           Column("InternalVersion", "int"),
                   Column("TimeCreated", "datetime"),             NotNull(Column("DocFlags", "int")),
                   Column("Size", "int"),                         Column("CheckinComment", "nvarchar", 2046),
                   NotNull(Column("Level", "tinyint")),           NotNull(Column("DeleteTransactionId", "varbinary", 16))};
  table.primaryKey = KeyDescription{.name = "AllDocVersions_PK", .columnIds = {1, 2, 3}};
  const char* comments[] = {"First published version", "Updated leave allowance"};
  int n = 0;
  for (const HistoricalVersion& version : kVersionsOf103) {
    table.rows.push_back(TableRowRecord(
        table.columns, {Guid("S1"), Guid("D-103"), Int(version.uiVersion), Int(version.internalVersion),
                        When(version.timeCreated), Int(268), Int(version.size), Text(comments[n++]), Int(1, 1),
                        CellValue::Of({})}));
  }
  return table;
}

// One row per stored content: the current bytes, and those of the check-out
// copy and the draft at their second level. The externalized document keeps
// only a blob id.
TableDescription AllDocStreams(TextPageWriter& lobs, const std::vector<DocRow>& generated_docs) {
  TableDescription table{.name = "AllDocStreams", .objectId = 2137058649, .clustered = true};
  table.columns = {NotNull(Column("Id", "uniqueidentifier")), NotNull(Column("SiteId", "uniqueidentifier")),
                   NotNull(Column("InternalVersion", "int")), Column("Content", "varbinary", -1),
                   Column("RbsId", "varbinary", 64)};
  table.primaryKey = KeyDescription{.name = "AllDocStreams_PK", .columnIds = {2, 1, 3}};
  std::vector<const DocRow*> docs;
  for (const DocRow& doc : kDocRows) docs.push_back(&doc);
  for (const DocRow& doc : generated_docs) docs.push_back(&doc);
  for (const DocRow* stored_doc : docs) {
    const DocRow& doc = *stored_doc;
    if (doc.content == kContentNone) continue;
    const std::string id = "D-" + std::to_string(doc.number);
    CellValue content = CellValue::Null();
    CellValue rbs = CellValue::Null();
    if (doc.content == kContentRbs) {
      rbs = CellValue::Of(stored::Ansi("rbs-blob-" + std::to_string(doc.number)));
    } else {
      const int version = ContentVersion(doc);
      const Bytes bytes = DocumentBytes(doc.number, version, doc.leafName, static_cast<size_t>(doc.size));
      content = bytes.empty() ? CellValue::Of({}) : CellValue::Reference(lobs.StoreInRowRoot(bytes));
    }
    table.rows.push_back(TableRowRecord(
        table.columns, {Guid(id.c_str()), Guid(doc.site), Int(doc.internalVersion), content, rbs}));
  }
  AddExtractionCases(table, lobs);
  return table;
}

// The 2013 stream tables: DocStreams with one piece per stored content
// version (BSN 1, 2, ... per document), but document 110 in five pieces of
// 64 KiB and less; DocsToStreams mapping (document, UI version, level) to
// the pieces. Small pieces stay in the row.
void AddDocStreams2013(DatabaseDescription& description, TextPageWriter& lobs) {
  TableDescription streams{.name = "DocStreams", .objectId = 2057058364, .clustered = true};
  streams.columns = {NotNull(Column("DocId", "uniqueidentifier")), NotNull(Column("SiteId", "uniqueidentifier")),
                     NotNull(Column("Partition", "tinyint")),       NotNull(Column("BSN", "bigint")),
                     NotNull(Column("Size", "int")),                Column("Content", "varbinary", -1),
                     Column("RbsId", "varbinary", 64),              NotNull(Column("Type", "tinyint"))};
  streams.primaryKey = KeyDescription{.name = "DocStreams_PK", .columnIds = {2, 1, 3, 4}};
  TableDescription map{.name = "DocsToStreams", .objectId = 2073058421, .clustered = true};
  map.columns = {NotNull(Column("SiteId", "uniqueidentifier")), NotNull(Column("DocId", "uniqueidentifier")),
                 NotNull(Column("HistVersion", "int")),         NotNull(Column("Level", "tinyint")),
                 NotNull(Column("Partition", "tinyint")),       NotNull(Column("BSN", "bigint")),
                 NotNull(Column("StreamId", "bigint"))};
  map.primaryKey = KeyDescription{.name = "DocsToStreams_PK", .columnIds = {1, 2, 3, 4, 5, 6}};
  constexpr size_t kInRowLimit = 4000;
  constexpr size_t kPieceSize = 65536;
  auto add = [&](const DocRow& doc, int64_t bsn, int ui_version, int level, const Bytes* bytes, int kind) {
    const std::string id = "D-" + std::to_string(doc.number);
    CellValue content = CellValue::Null();
    CellValue rbs = CellValue::Null();
    int64_t size = doc.size;
    if (bytes == nullptr) {
      rbs = CellValue::Of(stored::Ansi("rbs-blob-" + std::to_string(doc.number)));
    } else {
      size = static_cast<int64_t>(bytes->size());
      content = bytes->size() <= kInRowLimit ? CellValue::Of(*bytes) : CellValue::Reference(lobs.StoreInRowRoot(*bytes));
    }
    streams.rows.push_back(TableRowRecord(streams.columns, {Guid(id.c_str()), Guid(doc.site), Int(0, 1), Int(bsn, 8),
                                                            Int(size), content, rbs, Int(0, 1)}, kind));
    map.rows.push_back(TableRowRecord(map.columns, {Guid(doc.site), Guid(id.c_str()), Int(ui_version),
                                                    Int(level, 1), Int(0, 1), Int(bsn, 8), Int(bsn, 8)}, kind));
  };
  for (const DocRow& doc : kDocRows) {
    if (doc.content == kContentNone) continue;
    if (doc.content == kContentRbs) {
      add(doc, 1, doc.uiVersion, doc.level, nullptr, 0);
      continue;
    }
    int64_t bsn = doc.level == 1 ? 1 : 2;
    if (doc.number == 103) {
      for (const HistoricalVersion& version : kVersionsOf103) {
        const Bytes old = ContentOf(doc, version.contentVersion, version.size);
        add(doc, bsn++, version.uiVersion, 1, &old, 0);
      }
    }
    const Bytes bytes = ContentOf(doc, ContentVersion(doc), doc.size);
    if (doc.number == 110) {
      for (size_t offset = 0; offset < bytes.size(); offset += kPieceSize) {
        const Bytes piece(bytes.begin() + static_cast<std::ptrdiff_t>(offset),
                          bytes.begin() + static_cast<std::ptrdiff_t>(std::min(bytes.size(), offset + kPieceSize)));
        add(doc, bsn++, doc.uiVersion, doc.level, &piece, 0);
      }
      continue;
    }
    add(doc, bsn, doc.uiVersion, doc.level, &bytes, 0);
  }
  const Bytes gone = ContentOf(kDeletedDocument, 1, kDeletedDocument.size);
  add(kDeletedDocument, 1, kDeletedDocument.uiVersion, 1, &gone, kGhostRecordKind);
  description.tables.push_back(std::move(streams));
  description.tables.push_back(std::move(map));
}

}  // namespace

void AddSharePoint2013Tables(DatabaseDescription& description, TextPageWriter& lobs) {
  description.tables.push_back(AllSites());
  description.tables.push_back(AllWebs({}));
  description.tables.push_back(AllLists({}));
  description.tables.push_back(AllDocs({}));
  AddDocStreams2013(description, lobs);
  description.tables.push_back(AllDocVersions());
}

void AddSharePointTables(DatabaseDescription& description, TextPageWriter& lobs,
                         const GeneratedContent& generated) {
  const GeneratedRows rows = Generate(generated);
  description.tables.push_back(AllSites());
  description.tables.push_back(AllWebs(rows.webs));
  description.tables.push_back(AllLists(rows.lists));
  description.tables.push_back(AllDocs(rows.docs));
  description.tables.push_back(AllDocStreams(lobs, rows.docs));
  description.tables.push_back(AllDocVersions());
}

}  // namespace quill::demo
