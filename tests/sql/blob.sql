-- BLOB readers over real BLOBs. tests/tools/blobwriter (run first, see
-- blob.setup) writes stream and segmented BLOBs of 0 to 1,000,000 bytes in
-- segments of several sizes, each with the count and first integer computed
-- from the bytes it wrote: no BLOB may differ from them.
set list on;

select kind, segments, count(*) as blobs, sum(expected_count) as records_counted
  from blobs group by kind, segments order by kind, segments;
-- The BLOBs whose count or first integer is wrong (none).
select kind, segments, bytes, expected_count, blob2so(data, blob_key, blob_limit) as blob2so,
       expected_first, blob2i(data) as blob2i
  from blobs where blob2so(data, blob_key, blob_limit) is distinct from expected_count
                or blob2i(data) is distinct from expected_first;

-- Each size once, with its figures.
select bytes, expected_count, blob2so(data, blob_key, blob_limit) as blob2so,
       expected_first, blob2i(data) as blob2i
  from blobs where kind = 'segmented' and segments = 'mixed' order by bytes;

-- BLOBs made in SQL: the worked records, a record split from its tail, short
-- BLOBs, and a null BLOB.
select blob2so(cast(x'0500000009000000' || x'050000000A000000' || x'050000000B000000'
                    || x'0400000001000000' || x'05000000FDFFFFFF' as blob), 5, 10) as five_records,
       blob2so(cast(x'05000000000000000500000000' as blob), 5, 1) as record_and_tail,
       blob2so(cast(x'' as blob), 0, 1) as empty_count,
       blob2i(cast(x'01000080' as blob)) as first_min_plus_one,
       blob2i(cast(x'FFEE' as blob)) as first_of_two_bytes,
       blob2i(cast(x'' as blob)) as first_of_empty,
       blob2i(cast(null as blob)) as first_of_null,
       blob2so(cast(null as blob), 0, 1) as count_of_null
  from rdb$database;
