#include "export/document_extractor.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>
#include <unordered_map>

#include "common/ordered_parallel_map.h"

#include "export/document_sources.h"
#include "export/extracted_file.h"
#include "export/manifest_writer.h"
#include "export/safe_file_names.h"

namespace quill {

namespace {

constexpr int64_t kLevelPublished = 1;
constexpr int64_t kLevelDraft = 2;
constexpr int64_t kLevelCheckedOut = 255;
constexpr int64_t kUiMajorStep = 512;

// List-item placeholders ("1_.000") stand for items, not files.
bool IsPlaceholder(const std::string& leaf) {
  constexpr std::string_view kTail = "_.000";
  if (leaf.size() <= kTail.size() || !leaf.ends_with(kTail)) return false;
  return std::all_of(leaf.begin(), leaf.end() - static_cast<std::ptrdiff_t>(kTail.size()),
                     [](char c) { return c >= '0' && c <= '9'; });
}

std::string UiVersionText(int64_t ui) {
  if (ui < 0) return "?";
  return std::to_string(ui / kUiMajorStep) + "." + std::to_string(ui % kUiMajorStep);
}

std::string Key(const std::string& site, const std::string& id) { return site + "|" + id; }

// What to write for one file, and where.
struct Job {
  std::vector<std::string> folders;
  std::string leaf;
  int64_t level = kLevelPublished;
  int64_t uiVersion = kUnknownNumber;
  std::string version;  // internal version to match
  int64_t expectedSize = kUnknownNumber;
  std::string created;
  std::string modified;
  std::string note;
  std::string source;
  std::string siteId;
  std::string id;
  std::string setupPath;
  bool deleted = false;
  const StreamPiece* onlyPiece = nullptr;  // a stream row taken as it is (a leftover version)
};

// The pieces chosen for a job, or why there are none.
struct Choice {
  std::vector<const StreamPiece*> pieces;
  std::string status;
  std::string reason;
  std::string note;
};

// What the run decided for a job before any byte is read: its manifest
// line so far, its pieces (or why none), and the file name it claimed.
struct Plan {
  ManifestLine line;
  Choice choice;
  std::string relative;  // empty without pieces to write
};

// What copying a job's pieces gave. Made on a worker thread.
struct Outcome {
  bool stopped = false;  // a stop request ended the copy; nothing was kept
  bool written = false;  // the file is complete and kept
  std::string failure;   // why not, when neither
  uint64_t size = 0;
  std::string sha256;
};

class Extractor {
 public:
  Extractor(DocumentSources& sources, const DocumentExtractOptions& options, ProgressSink& progress,
            DocumentExtractSummary& summary)
      : sources_(sources), options_(options), progress_(progress), summary_(summary) {}

  void Run();

 private:
  void PlanDocuments(const std::vector<StoredDocument>& documents, const std::vector<StoredVersion>& versions);
  Job JobFor(const StoredDocument& doc, const std::string& mark, const std::string& note, bool deleted) const;
  Choice Choose(const Job& job);
  Choice ChooseStreamRow(const Job& job, const std::vector<const StreamPiece*>& candidates);
  Choice ChoosePieces(const Job& job, const std::vector<const StreamPiece*>& candidates);
  std::vector<const StreamPiece*> Candidates(const Job& job) const;
  bool Picked(const StoredDocument& doc) const {
    return options_.onlyPaths.empty() || options_.onlyPaths.count(StoredDocumentPath(doc.dirName, doc.leafName)) != 0;
  }
  // The decisions of `job`, taken in job order: its pieces and its file name.
  Plan PlanJob(const Job& job);
  // Writes the file of a planned job; safe on any thread. Reports progress
  // within the file when `report_within` (the calling thread's own copy).
  Outcome Copy(const Job& job, const Plan& plan, bool report_within);
  // The manifest line and the counts of a job, in job order.
  void Record(const Job& job, Plan& plan, const Outcome& outcome);
  // Plans, copies and records `jobs`, copying on up to options_.threads
  // workers; false when a stop ended the run.
  bool WriteJobs(const std::vector<Job>& jobs);

  DocumentSources& sources_;
  const DocumentExtractOptions& options_;
  ProgressSink& progress_;
  DocumentExtractSummary& summary_;
  ManifestWriter manifest_;
  SafePathSet paths_;
  std::vector<StreamPiece> pieces_;
  std::vector<StreamMapRow> map_;
  std::unordered_map<std::string, std::vector<size_t>> piecesByDocument_;
  std::set<const StreamPiece*> used_;
  std::vector<Job> jobs_;
  uint64_t done_ = 0;  // bytes written or passed over, for the progress
};

// Progress is reported after each document and every 256 KiB within one.
constexpr uint64_t kProgressStep = uint64_t{256} << 10;

Job Extractor::JobFor(const StoredDocument& doc, const std::string& mark, const std::string& note,
                      bool deleted) const {
  Job job;
  if (deleted) job.folders.push_back(kDeletedFolder);
  for (std::string& part : SafePathComponents(doc.dirName)) job.folders.push_back(std::move(part));
  const std::string leaf = SafeNameComponent(doc.leafName);
  job.leaf = mark.empty() ? leaf : MarkedName(leaf, mark);
  job.level = doc.level;
  job.uiVersion = doc.uiVersion;
  job.version = doc.version;
  job.expectedSize = doc.size;
  job.created = doc.created;
  job.modified = doc.modified;
  job.note = note;
  job.source = StoredDocumentPath(doc.dirName, doc.leafName);
  job.siteId = doc.siteId;
  job.id = doc.id;
  job.setupPath = doc.setupPath;
  job.deleted = deleted;
  return job;
}

void Extractor::PlanDocuments(const std::vector<StoredDocument>& documents,
                              const std::vector<StoredVersion>& versions) {
  // Live rows grouped by document, in the order the documents first appear.
  std::vector<std::string> order;
  std::map<std::string, std::vector<const StoredDocument*>> live;
  std::set<std::tuple<std::string, std::string, int64_t, std::string>> live_keys;
  for (const StoredDocument& doc : documents) {
    if (IsPlaceholder(doc.leafName) || doc.deletedRecord || doc.recycled || !Picked(doc)) continue;
    const std::string key = Key(doc.siteId, doc.id);
    if (live.find(key) == live.end()) order.push_back(key);
    live[key].push_back(&doc);
    live_keys.insert({doc.siteId, doc.id, doc.level, doc.version});
  }
  std::map<std::string, std::vector<const StoredVersion*>> history;
  for (const StoredVersion& version : versions) {
    if (!version.deleted) history[Key(version.siteId, version.id)].push_back(&version);
  }

  for (const std::string& key : order) {
    std::vector<const StoredDocument*> rows = live[key];
    std::stable_sort(rows.begin(), rows.end(),
                     [](const StoredDocument* a, const StoredDocument* b) { return a->level < b->level; });
    // One row per level: a level read twice (an address listed twice) is written once.
    rows.erase(std::unique(rows.begin(), rows.end(),
                           [](const StoredDocument* a, const StoredDocument* b) { return a->level == b->level; }),
               rows.end());
    const bool published = rows.front()->level == kLevelPublished;
    for (const StoredDocument* doc : rows) {
      std::string mark;
      std::string note;
      const std::string ui = UiVersionText(doc->uiVersion);
      if (doc->level == kLevelCheckedOut) {
        const std::string user = doc->checkoutUserId >= 0 ? " by user " + std::to_string(doc->checkoutUserId) : "";
        if (published || rows.size() > 1) {
          mark = "checked out";
          note = "check-out copy " + ui + user;
        } else {
          note = "checked out" + user + ", never checked in (" + ui + ")";
        }
      } else if (doc->level == kLevelDraft) {
        const std::string owner = doc->draftOwnerId >= 0 ? " of user " + std::to_string(doc->draftOwnerId) : "";
        if (published || doc != rows.back()) {
          mark = "draft";
          note = "draft " + ui + owner;
        } else {
          note = "draft " + ui + owner + ", never published";
        }
      } else if (doc->level != kLevelPublished) {
        mark = "level " + std::to_string(doc->level);
        note = "level " + std::to_string(doc->level) + " " + ui;
      } else {
        note = "published " + ui;
      }
      // Without a published row the newest level takes the plain name.
      if (!published && doc == rows.back()) mark.clear();
      jobs_.push_back(JobFor(*doc, mark, note, false));
    }
    if (!options_.versions) continue;
    const StoredDocument& tip = *rows.front();
    for (const StoredVersion* version : history[key]) {
      Job job = JobFor(tip, "version " + UiVersionText(version->uiVersion), "", false);
      job.level = kLevelPublished;
      job.uiVersion = version->uiVersion;
      job.version = version->version;
      job.expectedSize = version->size;
      job.created = job.modified = version->created;
      job.note = "historical version " + UiVersionText(version->uiVersion);
      jobs_.push_back(std::move(job));
    }
  }

  if (!options_.deleted) return;
  std::set<std::tuple<std::string, std::string, int64_t, std::string>> deleted_keys;
  for (const StoredDocument& doc : documents) {
    if (IsPlaceholder(doc.leafName) || (!doc.deletedRecord && !doc.recycled) || !Picked(doc)) continue;
    const auto key = std::make_tuple(doc.siteId, doc.id, doc.level, doc.version);
    // A deleted copy of a row that is still live (the old image of an
    // updated row) holds nothing new; one deleted row is written once.
    if (live_keys.count(key) != 0 || !deleted_keys.insert(key).second) continue;
    std::string mark = doc.level == kLevelCheckedOut ? "checked out" : doc.level == kLevelDraft ? "draft" : "";
    jobs_.push_back(JobFor(doc, mark, doc.recycled ? "in the recycle bin" : "deleted row", true));
  }
}

std::vector<const StreamPiece*> Extractor::Candidates(const Job& job) const {
  std::vector<const StreamPiece*> live;
  std::vector<const StreamPiece*> all;
  const auto found = piecesByDocument_.find(Key(job.siteId, job.id));
  if (found == piecesByDocument_.end()) return all;
  for (size_t index : found->second) {
    const StreamPiece& piece = pieces_[index];
    if (piece.partition != 0) continue;  // other partitions hold no file content
    all.push_back(&piece);
    if (!piece.deleted) live.push_back(&piece);
  }
  // A live document reads live rows when there are any; a deleted one
  // whatever survives.
  return job.deleted || live.empty() ? all : live;
}

Choice Extractor::ChooseStreamRow(const Job& job, const std::vector<const StreamPiece*>& candidates) {
  Choice choice;
  const StreamPiece* match = nullptr;
  for (const StreamPiece* piece : candidates) {
    if (piece->version == job.version && (match == nullptr || (match->deleted && !piece->deleted))) match = piece;
  }
  if (match == nullptr && candidates.size() == 1 && job.uiVersion == kUnknownNumber) match = candidates.front();
  if (match == nullptr && job.deleted) {
    // A deleted document: the newest content that survives.
    for (const StreamPiece* piece : candidates) {
      if (match == nullptr || NumberCell(piece->version) > NumberCell(match->version)) match = piece;
    }
    if (match != nullptr) choice.note = "stream version " + match->version + " taken";
  }
  if (match == nullptr && candidates.size() == 1) {
    match = candidates.front();
    choice.note = "the only stream row (version " + match->version + ") taken";
  }
  if (match == nullptr) {
    choice.status = kStatusPieceMissing;
    choice.reason = "no stream row of version " + job.version;
    return choice;
  }
  choice.pieces.push_back(match);
  return choice;
}

Choice Extractor::ChoosePieces(const Job& job, const std::vector<const StreamPiece*>& candidates) {
  Choice choice;
  std::vector<const StreamPiece*> sorted = candidates;
  std::sort(sorted.begin(), sorted.end(), [](const StreamPiece* a, const StreamPiece* b) {
    return a->bsn != b->bsn ? a->bsn < b->bsn : (!a->deleted && b->deleted);
  });
  // Pieces listed for this version and level, matched by UI version, else by internal version.
  for (int pass = 0; pass < 2 && choice.pieces.empty() && choice.status.empty(); ++pass) {
    const int64_t wanted = pass == 0 ? job.uiVersion : NumberCell(job.version);
    std::vector<int64_t> listed;
    for (const StreamMapRow& row : map_) {
      if (row.siteId == job.siteId && row.docId == job.id && row.level == job.level && row.partition == 0 &&
          row.histVersion == wanted && wanted != kUnknownNumber) {
        listed.push_back(row.bsn);
      }
    }
    if (listed.empty()) continue;
    std::sort(listed.begin(), listed.end());
    listed.erase(std::unique(listed.begin(), listed.end()), listed.end());
    for (int64_t bsn : listed) {
      const auto piece = std::find_if(sorted.begin(), sorted.end(), [&](const StreamPiece* p) { return p->bsn == bsn; });
      if (piece == sorted.end()) {
        choice.pieces.clear();
        choice.status = kStatusPieceMissing;
        choice.reason = "piece BSN " + std::to_string(bsn) + " of " + std::to_string(listed.size()) +
                        " listed pieces is not stored";
        return choice;
      }
      choice.pieces.push_back(*piece);
    }
  }
  if (!choice.pieces.empty()) return choice;

  // No map: all pieces when their sizes add up to the stored size, else the
  // longest run of highest BSNs that does.
  sorted.erase(std::unique(sorted.begin(), sorted.end(),
                           [](const StreamPiece* a, const StreamPiece* b) { return a->bsn == b->bsn; }),
               sorted.end());
  int64_t total = 0;
  for (const StreamPiece* piece : sorted) total += std::max<int64_t>(piece->size, 0);
  if (job.expectedSize == kUnknownNumber || total == job.expectedSize) {
    choice.pieces = sorted;
  } else {
    int64_t run = 0;
    for (size_t i = sorted.size(); i > 0 && run < job.expectedSize; --i) {
      run += std::max<int64_t>(sorted[i - 1]->size, 0);
      if (run == job.expectedSize) choice.pieces.assign(sorted.begin() + static_cast<std::ptrdiff_t>(i - 1), sorted.end());
    }
    if (choice.pieces.empty()) {
      choice.status = total < job.expectedSize ? kStatusPieceMissing : kStatusDamaged;
      choice.reason = "the stored pieces (" + std::to_string(total) + " bytes) do not make up the " +
                      std::to_string(job.expectedSize) + " bytes of the document";
      return choice;
    }
  }
  // Pieces in one run are numbered without gaps.
  for (size_t i = 1; i < choice.pieces.size(); ++i) {
    if (choice.pieces[i]->bsn != choice.pieces[i - 1]->bsn + 1) {
      choice.status = kStatusPieceMissing;
      choice.reason = "piece BSN " + std::to_string(choice.pieces[i - 1]->bsn + 1) + " is not stored";
      choice.pieces.clear();
      return choice;
    }
  }
  return choice;
}

Choice Extractor::Choose(const Job& job) {
  const std::vector<const StreamPiece*> candidates =
      job.onlyPiece != nullptr ? std::vector<const StreamPiece*>{job.onlyPiece} : Candidates(job);
  if (candidates.empty()) {
    Choice choice;
    if (!job.setupPath.empty()) {
      choice.status = kStatusGhosted;
      choice.reason = "uncustomized page; its template " + job.setupPath + " is not stored in the database";
    } else {
      choice.status = job.deleted ? kStatusPieceMissing : kStatusDamaged;
      choice.reason = job.deleted ? "no stream row of the deleted document survives" : "no stream row";
    }
    return choice;
  }
  Choice choice = job.onlyPiece != nullptr ? Choice{candidates, "", "", ""}
                  : sources_.piecesLayout()  ? ChoosePieces(job, candidates)
                                             : ChooseStreamRow(job, candidates);
  if (!choice.status.empty()) return choice;
  // Rows chosen are used, even when their content is elsewhere.
  for (const StreamPiece* piece : choice.pieces) used_.insert(piece);
  for (const StreamPiece* piece : choice.pieces) {
    if (piece->content != StreamPiece::Content::kNull) continue;
    choice.status = piece->remote ? kStatusRemoteBlob : kStatusDamaged;
    choice.reason = piece->remote ? "RbsId " + piece->remoteId : "content is NULL and no RbsId is set";
    choice.pieces.clear();
    break;
  }
  return choice;
}

Plan Extractor::PlanJob(const Job& job) {
  Plan plan;
  ManifestLine& line = plan.line;
  line.created = StoredTimeIso(job.created);
  line.modified = StoredTimeIso(job.modified);
  line.note = job.note;
  line.source = job.source;
  plan.choice = Choose(job);
  if (!plan.choice.note.empty()) line.note += (line.note.empty() ? "" : "; ") + plan.choice.note;
  if (plan.choice.status.empty()) plan.relative = paths_.Claim(job.folders, job.leaf);
  return plan;
}

Outcome Extractor::Copy(const Job& job, const Plan& plan, bool report_within) {
  Outcome outcome;
  const std::string path = (std::filesystem::path(options_.outputFolder) / plan.relative).string();
  ExtractedFile out;
  std::string& failure = outcome.failure;
  if (!out.Create(path)) failure = out.error();
  uint64_t copied = 0;
  uint64_t reported = 0;
  // The first large value node that could not be read, for the reason of
  // a file that comes out short.
  Status unread;
  for (const StreamPiece* piece : plan.choice.pieces) {
    if (!failure.empty()) break;
    bool complete = false;
    const uint64_t n = sources_.ReadPiece(
        *piece,
        [&](std::span<const uint8_t> bytes) {
          out.Write(bytes);
          copied += bytes.size();
          if (report_within && copied - reported >= kProgressStep) {
            reported = copied;
            progress_.ProgressPos(done_ + copied);
          }
        },
        complete, &unread);
    if (sources_.stopRequested()) {
      out.Abandon();
      outcome.stopped = true;
      return outcome;
    }
    if (!complete) {
      failure = "the content of " + (sources_.piecesLayout() ? "piece BSN " + std::to_string(piece->bsn) : "the stream row") +
                " cannot be read";
    } else if (piece->size >= 0 && static_cast<int64_t>(n) != piece->size) {
      failure = "piece BSN " + std::to_string(piece->bsn) + " gave " + std::to_string(n) + " of its " +
                std::to_string(piece->size) + " bytes";
    }
    if (failure.empty() && !out.error().empty()) failure = out.error();
  }
  if (failure.empty() && job.expectedSize >= 0 && out.size() != static_cast<uint64_t>(job.expectedSize)) {
    failure = "content cut: " + std::to_string(out.size()) + " of " + std::to_string(job.expectedSize) +
              " bytes read";
  }
  if (!failure.empty() && !unread.ok()) failure += "; " + unread.Text();
  int64_t modified = 0;
  const bool has_time = StoredTimeSeconds(job.modified, modified);
  if (failure.empty() && !out.Finish(has_time ? &modified : nullptr)) failure = out.error();
  if (!failure.empty()) {
    out.Abandon();
    return outcome;
  }
  outcome.written = true;
  outcome.size = out.size();
  outcome.sha256 = out.sha256();
  return outcome;
}

void Extractor::Record(const Job& job, Plan& plan, const Outcome& outcome) {
  ManifestLine& line = plan.line;
  ++summary_.documents;
  if (!plan.choice.status.empty() || !outcome.written) {
    line.status = plan.choice.status.empty() ? kStatusDamaged : plan.choice.status;
    line.reason = plan.choice.status.empty() ? outcome.failure : plan.choice.reason;
    if (job.expectedSize >= 0) line.size = static_cast<uint64_t>(job.expectedSize);
    ++summary_.notRecovered;
    if (line.status == kStatusDamaged || line.status == kStatusPieceMissing) ++summary_.failed;
  } else {
    line.path = plan.relative;
    line.size = outcome.size;
    line.sha256 = outcome.sha256;
    line.status = kStatusWritten;
    ++summary_.written;
    summary_.bytes += outcome.size;
  }
  if (!manifest_.Add(line) && summary_.error.empty()) summary_.error = "cannot write the manifest";
}

bool Extractor::WriteJobs(const std::vector<Job>& jobs) {
  // Names are claimed and pieces chosen in job order, so the files and the
  // manifest are the same on any number of threads; only the copies run on
  // the workers, and their outcomes are recorded in job order again.
  std::vector<Plan> plans;
  plans.reserve(jobs.size());
  for (const Job& job : jobs) plans.push_back(PlanJob(job));
  std::vector<Outcome> outcomes(jobs.size());
  OrderedMapOptions map;
  map.threads = std::max(1u, options_.threads);
  map.stop = sources_.stopToken();
  const bool on_caller = map.threads <= 1;
  uint64_t expected_done = 0;
  bool stopped = false;
  const size_t taken = OrderedParallelMap(
      jobs.size(), map,
      [&](unsigned, size_t i, OrderedChunk&) {
        if (plans[i].choice.status.empty()) outcomes[i] = Copy(jobs[i], plans[i], on_caller);
      },
      [&](size_t i, OrderedChunk&) {
        if (outcomes[i].stopped) {
          stopped = true;
          return false;
        }
        Record(jobs[i], plans[i], outcomes[i]);
        expected_done += static_cast<uint64_t>(std::max<int64_t>(jobs[i].expectedSize, 0));
        done_ = std::max(done_ + outcomes[i].size, expected_done);
        progress_.ProgressPos(done_);
        return true;
      });
  // Files the workers finished past the point where a stop ended the run
  // are not in the manifest: they go, so that what is on disk is what it
  // lists.
  for (size_t i = taken; i < jobs.size(); ++i) {
    if (!outcomes[i].written) continue;
    std::error_code ignored;
    std::filesystem::remove(std::filesystem::path(options_.outputFolder) / plans[i].relative, ignored);
  }
  return !stopped && taken == jobs.size() && !sources_.stopRequested();
}

void Extractor::Run() {
  std::error_code ec;
  std::filesystem::create_directories(options_.outputFolder, ec);
  if (ec) {
    summary_.error = "cannot create " + options_.outputFolder + ": " + ec.message();
    return;
  }
  const std::string manifest_path = (std::filesystem::path(options_.outputFolder) / kManifestFileName).string();
  if (!manifest_.Open(manifest_path)) {
    summary_.error = "cannot create " + manifest_path + " (it may exist already)";
    return;
  }
  summary_.started = true;
  std::vector<StoredDocument> documents;
  summary_.contentDatabase = sources_.ReadDocuments(documents);
  std::vector<StoredVersion> versions;
  if (options_.versions) sources_.ReadVersions(versions);
  sources_.ReadPieces(pieces_, map_);
  for (size_t i = 0; i < pieces_.size(); ++i) piecesByDocument_[Key(pieces_[i].siteId, pieces_[i].docId)].push_back(i);
  PlanDocuments(documents, versions);

  // The range is the stored sizes of all documents; a document's whole
  // size counts as done once it is, whatever was written.
  uint64_t range = 0;
  for (const Job& job : jobs_) range += static_cast<uint64_t>(std::max<int64_t>(job.expectedSize, 0));
  progress_.ProgressRange(range);
  if (!WriteJobs(jobs_)) summary_.stopped = true;
  // Stream rows of a document that no level and no listed version used are
  // earlier versions of it (2007/2010), written when versions are asked for.
  if (options_.versions && !summary_.stopped && !sources_.piecesLayout()) {
    std::map<std::string, const Job*> tips;
    for (const Job& job : jobs_) {
      if (!job.deleted && job.level == kLevelPublished) tips.emplace(Key(job.siteId, job.id), &job);
    }
    std::vector<Job> leftovers;
    for (const StreamPiece& piece : pieces_) {
      if (piece.deleted || used_.count(&piece) != 0) continue;
      const auto tip = tips.find(Key(piece.siteId, piece.docId));
      if (tip == tips.end()) continue;
      Job job = *tip->second;
      job.leaf = MarkedName(job.leaf, "internal version " + piece.version);
      job.note = "stored content of internal version " + piece.version + " (no version row)";
      job.expectedSize = kUnknownNumber;
      job.onlyPiece = &piece;
      leftovers.push_back(std::move(job));
    }
    if (!WriteJobs(leftovers)) summary_.stopped = true;
  }
  progress_.StatusText(std::to_string(summary_.written) + " documents written, " +
                       std::to_string(summary_.notRecovered) + " not recovered" +
                       (summary_.stopped ? " (stopped)" : ""));
  if (!manifest_.Close() && summary_.error.empty()) summary_.error = "cannot write the manifest";
}

}  // namespace

std::string StoredDocumentPath(const std::string& dir_name, const std::string& leaf_name) {
  return dir_name.empty() ? leaf_name : dir_name + "/" + leaf_name;
}

DocumentExtractSummary ExtractDocuments(SystemCatalog& catalog, const CDatabaseFile& file,
                                        const ReadOptions& read, const DocumentExtractOptions& options,
                                        ProgressSink& progress) {
  DocumentExtractSummary summary;
  DocumentSources sources(catalog, file, read, options.deleted);
  Extractor extractor(sources, options, progress, summary);
  extractor.Run();
  return summary;
}

}  // namespace quill
