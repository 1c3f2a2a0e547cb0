-- An upgrade that stopped half way: it had written the component's row but
-- not yet the version it was upgrading to.
UPDATE TBL_VERSION2 SET VERSIONNUMBER = '' WHERE COMPONENT = 'Database';
