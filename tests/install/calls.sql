-- One call of each family through a freshly installed module
-- (scripts/installtest.sh); the output, spaces squeezed, is calls.out.
set list on;
select Match('INV-2024', 'INV-####') m, ALC('ÍĎ') a, DivDP(7, 2) d, DP2Year(D2DP(DATE '2024-02-29')) y
  from rdb$database;
