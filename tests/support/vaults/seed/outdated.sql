-- A database of an earlier release: the schema versions were kept only in
-- TBL_VERSION, and TBL_VERSION2 did not exist yet.
DROP TABLE TBL_VERSION2;
