// Writes the engine benchmark's BLOBs through the Firebird client API: a
// table BLOBS of COUNT rows, each holding 65536 bytes (8192 records of a
// 32-bit key and a 32-bit value) put in 16 KiB segments, keys 1 to 3 and
// values -50 to 50 from a fixed generator.
//
//   vantor_blobfill DATABASE COUNT [CACHE_PAGES]
//
// CACHE_PAGES, when given, is written into the database's header as its page
// cache size (as gfix -buffers does): a server in Super mode ignores the
// cache size a connection asks for, and the benchmark's tables must be read
// from the cache, not from the file, for a BLOB call to be timed alone.
//
// Runs against the embedded engine (path only, user SYSDBA) in the
// environment of scripts/fbrun.sh. Silent on success; on failure prints the
// engine's message and exits 1.
#include <ibase.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

ISC_STATUS_ARRAY status;

void Check(const char* what) {
    if (status[0] == 1 && status[1] != 0) {
        std::fprintf(stderr, "vantor_blobfill: %s failed:\n", what);
        const ISC_STATUS* vector = status;
        char message[512];
        while (fb_interpret(message, sizeof message, &vector) > 0) std::fprintf(stderr, "  %s\n", message);
        std::exit(1);
    }
}

constexpr size_t kBlobBytes = 65536;
constexpr unsigned short kSegmentBytes = 16384;

std::vector<unsigned char> MakeRecords(uint32_t seed) {
    std::vector<unsigned char> bytes(kBlobBytes);
    uint32_t state = seed * 2654435761u + 1;
    for (size_t i = 0; i < kBlobBytes; i += 8) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        const int32_t key = static_cast<int32_t>(state % 3) + 1;
        const int32_t value = static_cast<int32_t>((state >> 8) % 101) - 50;
        std::memcpy(&bytes[i], &key, 4);
        std::memcpy(&bytes[i + 4], &value, 4);
    }
    return bytes;
}

}  // namespace

int main(int argc, char** argv) {
    if ((argc != 3 && argc != 4) || std::atoi(argv[2]) <= 0 || (argc == 4 && std::atoi(argv[3]) <= 0)) {
        std::fprintf(stderr, "usage: vantor_blobfill DATABASE COUNT [CACHE_PAGES]\n");
        return 2;
    }
    const int count = std::atoi(argv[2]);
    std::vector<char> dpb = {isc_dpb_version1, isc_dpb_user_name, 6, 'S', 'Y', 'S', 'D', 'B', 'A'};
    if (argc == 4) {
        const uint32_t pages = static_cast<uint32_t>(std::atoi(argv[3]));
        dpb.insert(dpb.end(), {isc_dpb_set_page_buffers, 4});
        for (int shift = 0; shift < 32; shift += 8) dpb.push_back(static_cast<char>((pages >> shift) & 0xff));
    }
    isc_db_handle db = 0;
    isc_attach_database(status, 0, argv[1], &db, static_cast<short>(dpb.size()), dpb.data());
    Check("isc_attach_database");

    isc_tr_handle tr = 0;
    isc_start_transaction(status, &tr, 1, &db, 0, nullptr);
    Check("isc_start_transaction");
    isc_dsql_execute_immediate(status, &db, &tr, 0,
                               "create table blobs (id integer not null, data blob sub_type binary)",
                               SQL_DIALECT_V6, nullptr);
    Check("create table blobs");
    isc_commit_transaction(status, &tr);
    Check("isc_commit_transaction");

    isc_start_transaction(status, &tr, 1, &db, 0, nullptr);
    Check("isc_start_transaction");
    XSQLDA* input = static_cast<XSQLDA*>(std::calloc(1, XSQLDA_LENGTH(1)));
    input->version = SQLDA_VERSION1;
    input->sqln = input->sqld = 1;
    for (int row = 1; row <= count; ++row) {
        const std::vector<unsigned char> bytes = MakeRecords(static_cast<uint32_t>(row));
        isc_blob_handle blob = 0;
        ISC_QUAD id;
        isc_create_blob2(status, &db, &tr, &blob, &id, 0, nullptr);
        Check("isc_create_blob2");
        for (size_t at = 0; at < bytes.size(); at += kSegmentBytes) {
            isc_put_segment(status, &blob, kSegmentBytes, reinterpret_cast<const ISC_SCHAR*>(bytes.data() + at));
            Check("isc_put_segment");
        }
        isc_close_blob(status, &blob);
        Check("isc_close_blob");
        input->sqlvar[0].sqltype = SQL_BLOB;
        input->sqlvar[0].sqllen = sizeof id;
        input->sqlvar[0].sqldata = reinterpret_cast<ISC_SCHAR*>(&id);
        const std::string sql = "insert into blobs (id, data) values (" + std::to_string(row) + ", ?)";
        isc_dsql_execute_immediate(status, &db, &tr, 0, sql.c_str(), SQL_DIALECT_V6, input);
        Check("insert into blobs");
    }
    std::free(input);
    isc_commit_transaction(status, &tr);
    Check("isc_commit_transaction");
    isc_detach_database(status, &db);
    Check("isc_detach_database");
    return 0;
}
