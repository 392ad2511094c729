-- A query of every function family, with text outside ASCII. Match sees the database's bytes, so '????'
-- covers 'Žluť' only where each of its characters is one byte: in WIN1250, not in UTF8.
set list on;
select D2DP(DATE '2000-01-01') as d2dp, DP2TS(36526.75) as dp2ts, DP2Year(36585) as dp2year,
  DPDOW(D2DP(DATE '2024-01-01'), '135') as dpdow, iif(abs(datediff(second from Now() to localtimestamp)) < 5, 1, 0) as now_ok,
  Match('INV-2024-000123', 'INV-####*') as match_ascii, Match('Žluťoučký kůň', 'Ž*ň') as match_text,
  Match('Žluť', '????') as match_bytes,
  ALC('ŽLUŤOUČKÝ KŮŇ, Hello') as alc, IIF_S(1, 'žluť', 'no') as iif_s, IIF_I(0, 10, 20) as iif_i, DivDP(7, 0) as divdp,
  BLOB2I(CAST(x'01000080' AS BLOB)) as blob2i,
  BLOB2SO(CAST(x'0500000009000000050000000A000000' AS BLOB), 5, 10) as blob2so
from rdb$database;
