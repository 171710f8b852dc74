#include "readers/reader_table.h"

#include <new>

#include "readers/modAXE.h"
#include "readers/modCdot.h"
#include "readers/modE10B.h"
#include "readers/modESS.h"
#include "readers/modEWSD.h"
#include "readers/modOCB.h"
#include "readers/reader_toolkit.h"

namespace vellmark {

namespace {

// A reader's own failures come back as values; anything it throws is ours.
ReaderOutcome Guarded(const ReadCall& read, ReaderContext& context) {
  ReaderOutcome outcome = Stopped{};
  try {
    outcome = read(context);
  } catch (const std::bad_alloc&) {
    outcome = ReadFailure{FailureKind::Internal, "out of memory", std::nullopt};
  } catch (const std::exception& e) {
    outcome = ReadFailure{FailureKind::Internal, e.what(), std::nullopt};
  } catch (...) {
    outcome = ReadFailure{FailureKind::Internal, "unexpected failure while reading", std::nullopt};
  }
  if (std::holds_alternative<ReadFailure>(outcome)) context.setProgress(0);
  if (auto* range = std::get_if<CallRange>(&outcome)) {
    CheckTimes(*range);
    range->digests = context.finishDigests();
  }
  return outcome;
}

}  // namespace

void ReaderTable::add(std::string family, ReaderFunction read) {
  addPrepared(std::move(family),
              [read = std::move(read)](const std::string& path, FileSystem&, Preparation) -> ReadCall {
                return [read, path](ReaderContext& context) { return read(path, context); };
              });
}

void ReaderTable::addPrepared(std::string family, ReadPreparer prepare) {
  rows_.push_back({std::move(family), std::move(prepare)});
}

std::optional<ReadCall> ReaderTable::prepare(std::string_view family, const std::string& path, FileSystem& files,
                                             Preparation when) {
  for (auto& row : rows_) {
    if (row.family != family) continue;
    ReadCall read = row.prepare(path, files, when);
    return [read = std::move(read)](ReaderContext& context) { return Guarded(read, context); };
  }
  return std::nullopt;
}

ReaderTable DefaultReaderTable() {
  ReaderTable table;
  // A file without the block mark is read in the layout of the OCB file before it.
  table.addPrepared("OCB", [layout = Carried<OcbLayout>()](const std::string& path, FileSystem& files,
                                                            Preparation when) mutable -> ReadCall {
    if (when == Preparation::Next)
      return [path, shared = layout.share()](ReaderContext& context) { return ReadOcbFile(path, *shared, context); };
    OcbLayout before = layout.value();
    layout.value() = OcbLayoutOf(files, path, before);
    return [path, before](ReaderContext& context) mutable { return ReadOcbFile(path, before, context); };
  });
  table.add("EWSD", ReadEwsdFile);
  table.add("CDOT", ReadCdotFile);
  table.add("E10B", ReadE10bFile);
  table.add("AXE", ReadAxeFile);
  table.add("5ESS", ReadEssFile);
  return table;
}

}  // namespace vellmark
