-- FTG: ten tenants, 200 terminals, 70 holidays per tenant: 140,000 lines,
-- each with a dictionary lookup; four day types per tenant in two
-- languages give 80 distinct lookups.
USE MVSYSTEM;
INSERT INTO MVS112MND (MNDLIZ, MNDNUM, MNDSCH, MNDSTO, MNDKON)
SELECT '00100', LPAD(seq, 5, '0'), CONCAT('BENCH', seq), '001', 0 FROM seq_1_to_10;
INSERT INTO MVS402ZKO (ZKONUM, ZKOTFS, ZKOKAL, ZKOSTA) VALUES ('1', '1', 1, 0);
INSERT INTO MVS401ZLS (ZLSTRM, ZLSLES, ZLSZKO, ZLSTFR, ZLSSTA) SELECT CONCAT('TRM', seq), 1, '1', NULL, 0 FROM seq_1_to_200;
INSERT INTO MVS1140TRM (TRMNAM, TRMSPR) SELECT CONCAT('TRM', seq), seq MOD 2 FROM seq_1_to_200;
