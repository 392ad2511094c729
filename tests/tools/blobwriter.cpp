// Writes real BLOBs for the BLOB readers' SQL test through the Firebird
// client API: stream and segmented BLOBs of 0 to 1,000,000 bytes, put in
// segments of several sizes, into a table BLOBS that also holds what BLOB2I
// and BLOB2SO must return for each, computed here from the bytes written.
//
//   blobwriter DATABASE
//
// Runs against the embedded engine (a path; user SYSDBA) in the same
// environment as scripts/fbrun.sh, or against a server (HOST/PORT:PATH) as
// the user ISC_USER with the password ISC_PASSWORD (scripts/installcheck.sh). Silent on success; on failure prints the
// engine's message and exits 1.
#include <ibase.h>

#include <algorithm>
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
        std::fprintf(stderr, "blobwriter: %s failed:\n", what);
        const ISC_STATUS* vector = status;
        char message[512];
        while (fb_interpret(message, sizeof message, &vector) > 0) std::fprintf(stderr, "  %s\n", message);
        std::exit(1);
    }
}

void Execute(isc_db_handle& db, isc_tr_handle& tr, const std::string& sql, XSQLDA* input = nullptr) {
    isc_dsql_execute_immediate(status, &db, &tr, 0, sql.c_str(), SQL_DIALECT_V6, input);
    Check(sql.c_str());
}

// The key and the limit every row is counted with.
constexpr int32_t kKey = 2;
constexpr int32_t kLimit = 0;

// Records with keys 1 to 3 and values -50 to 50, from a fixed generator, so
// that about one record in six matches. Any trailing bytes are arbitrary.
std::vector<unsigned char> MakeBytes(size_t length, uint32_t seed) {
    std::vector<unsigned char> bytes(length);
    uint32_t state = seed * 2654435761u;
    for (size_t i = 0; i < length; i += 4) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        const int32_t word = (i / 4) % 2 == 0 ? static_cast<int32_t>(state % 3) + 1
                                              : static_cast<int32_t>((state >> 8) % 101) - 50;
        std::memcpy(&bytes[i], &word, std::min<size_t>(4, length - i));
    }
    return bytes;
}

// What BLOB2SO must count: whole records among the first 524288 bytes.
int32_t ExpectedCount(const std::vector<unsigned char>& bytes) {
    const size_t records = std::min<size_t>(bytes.size(), 524288) / 8;
    int32_t count = 0;
    for (size_t i = 0; i < records; ++i) {
        int32_t key, value;
        std::memcpy(&key, &bytes[8 * i], 4);
        std::memcpy(&value, &bytes[8 * i + 4], 4);
        count += key == kKey && value < kLimit;
    }
    return count;
}

// What BLOB2I must read: the first four bytes, missing ones as zero.
int32_t ExpectedFirst(const std::vector<unsigned char>& bytes) {
    unsigned char first[4] = {0, 0, 0, 0};
    std::memcpy(first, bytes.data(), std::min<size_t>(4, bytes.size()));
    int32_t value;
    std::memcpy(&value, first, 4);
    return value;
}

struct Scheme {
    const char* name;
    std::vector<unsigned short> sizes;  // segment sizes, used in turn
};

void WriteRow(isc_db_handle& db, isc_tr_handle& tr, bool stream, const Scheme& scheme,
              size_t length, uint32_t seed) {
    const std::vector<unsigned char> bytes = MakeBytes(length, seed);
    static const char kStreamBpb[] = {isc_bpb_version1, isc_bpb_type, 1, isc_bpb_type_stream};
    static const char kSegmentedBpb[] = {isc_bpb_version1, isc_bpb_type, 1, isc_bpb_type_segmented};
    isc_blob_handle blob = 0;
    ISC_QUAD id;
    isc_create_blob2(status, &db, &tr, &blob, &id, sizeof kStreamBpb, stream ? kStreamBpb : kSegmentedBpb);
    Check("isc_create_blob2");
    size_t at = 0;
    for (size_t turn = 0; at < length; ++turn) {
        const size_t size = std::min<size_t>(scheme.sizes[turn % scheme.sizes.size()], length - at);
        isc_put_segment(status, &blob, static_cast<unsigned short>(size),
                        reinterpret_cast<const ISC_SCHAR*>(bytes.data() + at));
        Check("isc_put_segment");
        at += size;
    }
    isc_close_blob(status, &blob);
    Check("isc_close_blob");

    XSQLDA* input = static_cast<XSQLDA*>(std::calloc(1, XSQLDA_LENGTH(1)));
    input->version = SQLDA_VERSION1;
    input->sqln = input->sqld = 1;
    input->sqlvar[0].sqltype = SQL_BLOB;
    input->sqlvar[0].sqllen = sizeof id;
    input->sqlvar[0].sqldata = reinterpret_cast<ISC_SCHAR*>(&id);
    char sql[512];
    std::snprintf(sql, sizeof sql,
                  "insert into blobs (kind, segments, bytes, blob_key, blob_limit, expected_count, "
                  "expected_first, data) values ('%s', '%s', %zu, %d, %d, %d, %d, ?)",
                  stream ? "stream" : "segmented", scheme.name, length, kKey, kLimit,
                  ExpectedCount(bytes), ExpectedFirst(bytes));
    Execute(db, tr, sql, input);
    std::free(input);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: blobwriter DATABASE\n");
        return 2;
    }
    // A server wants the credentials; the embedded engine only the name.
    std::string dpb(1, static_cast<char>(isc_dpb_version1));
    const auto addItem = [&dpb](char item, const std::string& value) {
        dpb += item;
        dpb += static_cast<char>(value.size());
        dpb += value;
    };
    const char* user = std::getenv("ISC_USER");
    const char* password = std::getenv("ISC_PASSWORD");
    addItem(isc_dpb_user_name, user != nullptr && *user != '\0' ? user : "SYSDBA");
    if (password != nullptr && *password != '\0') addItem(isc_dpb_password, password);
    isc_db_handle db = 0;
    isc_attach_database(status, 0, argv[1], &db, static_cast<short>(dpb.size()), dpb.data());
    Check("isc_attach_database");

    isc_tr_handle tr = 0;
    isc_start_transaction(status, &tr, 1, &db, 0, nullptr);
    Check("isc_start_transaction");
    Execute(db, tr,
            "create table blobs (kind varchar(10) not null, segments varchar(10) not null, "
            "bytes integer not null, blob_key integer not null, blob_limit integer not null, "
            "expected_count integer not null, expected_first integer not null, "
            "data blob sub_type binary)");
    isc_commit_transaction(status, &tr);
    Check("isc_commit_transaction");

    // Segment sizes that split records anywhere, the largest a segment can
    // have, small odd ones, and empty segments (which a stream BLOB drops and
    // a segmented one keeps, delivering each as nothing).
    const Scheme schemes[] = {
        {"mixed", {1, 7, 8, 4095, 65535, 13, 16384, 32771, 2, 9}},
        {"65535", {65535}},
        {"7", {7}},
        {"gaps", {0, 0, 3, 0, 8, 0, 13, 0, 0, 4095}},
    };
    const size_t lengths[] = {0, 7, 20, 100000, 1000000};
    isc_start_transaction(status, &tr, 1, &db, 0, nullptr);
    Check("isc_start_transaction");
    uint32_t seed = 1;
    for (bool stream : {true, false})
        for (const Scheme& scheme : schemes)
            for (size_t length : lengths) WriteRow(db, tr, stream, scheme, length, seed++);
    isc_commit_transaction(status, &tr);
    Check("isc_commit_transaction");
    isc_detach_database(status, &db);
    Check("isc_detach_database");
    return 0;
}
