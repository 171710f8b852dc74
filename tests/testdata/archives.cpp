#include "testdata/archives.h"

#include <archive.h>
#include <archive_entry.h>

#include <functional>
#include <stdexcept>

namespace vellmark::testdata {

namespace {

la_ssize_t Collect(struct archive*, void* out, const void* data, size_t n) {
  auto* bytes = static_cast<const std::uint8_t*>(data);
  static_cast<Bytes*>(out)->insert(static_cast<Bytes*>(out)->end(), bytes, bytes + n);
  return static_cast<la_ssize_t>(n);
}

void Check(struct archive* a, int r) {
  if (r < ARCHIVE_WARN) throw std::runtime_error(std::string("libarchive: ") + archive_error_string(a));
}

void AddFilter(struct archive* a, Packing packing) {
  switch (packing) {
    case Packing::Gzip: Check(a, archive_write_add_filter_gzip(a)); break;
    case Packing::Bzip2: Check(a, archive_write_add_filter_bzip2(a)); break;
    case Packing::Xz: Check(a, archive_write_add_filter_xz(a)); break;
    case Packing::Zstd: Check(a, archive_write_add_filter_zstd(a)); break;
  }
}

Bytes Write(const std::vector<Member>& members, const std::function<void(struct archive*)>& setUp) {
  Bytes out;
  struct archive* a = archive_write_new();
  setUp(a);
  archive_write_set_bytes_in_last_block(a, 1);
  Check(a, archive_write_open(a, &out, nullptr, Collect, nullptr));
  for (const Member& m : members) {
    struct archive_entry* e = archive_entry_new();
    archive_entry_set_pathname(e, m.name.c_str());
    archive_entry_set_mtime(e, 1767225600, 0);
    archive_entry_set_perm(e, m.kind == Member::Kind::Folder ? 0755 : 0644);
    archive_entry_set_filetype(e, m.kind == Member::Kind::File ? AE_IFREG
                                  : m.kind == Member::Kind::Folder ? AE_IFDIR : AE_IFLNK);
    if (m.kind == Member::Kind::Link) archive_entry_set_symlink(e, "elsewhere");
    archive_entry_set_size(e, m.kind == Member::Kind::File ? static_cast<la_int64_t>(m.bytes.size()) : 0);
    Check(a, archive_write_header(a, e));
    if (m.kind == Member::Kind::File && !m.bytes.empty()) archive_write_data(a, m.bytes.data(), m.bytes.size());
    archive_entry_free(e);
  }
  Check(a, archive_write_close(a));
  archive_write_free(a);
  return out;
}

}  // namespace

std::string PackingSuffix(Packing packing) {
  switch (packing) {
    case Packing::Gzip: return ".gz";
    case Packing::Bzip2: return ".bz2";
    case Packing::Xz: return ".xz";
    case Packing::Zstd: return ".zst";
  }
  return "";
}

Bytes Compress(const Bytes& data, Packing packing) {
  return Write({{"data", data}}, [packing](struct archive* a) {
    Check(a, archive_write_set_format_raw(a));
    AddFilter(a, packing);
  });
}

Bytes BuildZip(const std::vector<Member>& members, bool store, const std::string& passphrase) {
  return Write(members, [&](struct archive* a) {
    Check(a, archive_write_set_format_zip(a));
    if (store) Check(a, archive_write_set_options(a, "zip:compression=store"));
    if (!passphrase.empty()) {
      Check(a, archive_write_set_options(a, "zip:encryption=zipcrypt"));
      Check(a, archive_write_set_passphrase(a, passphrase.c_str()));
    }
  });
}

Bytes BuildTar(const std::vector<Member>& members, std::optional<Packing> packing) {
  return Write(members, [&](struct archive* a) {
    Check(a, archive_write_set_format_ustar(a));
    if (packing) AddFilter(a, *packing);
  });
}

}  // namespace vellmark::testdata
