-- SLD: ten tenants with 10,000 valid badges each, the first at the premium
-- location; each holder has a vacation carry-over row, three vacation-day
-- rows, yesterday's shift leave and its carry-over, three day-balance rows
-- and three traffic-light rows, so that all six statements of a badge find
-- rows.
USE MVSYSTEM;
INSERT INTO MVS112MND (MNDLIZ, MNDNUM, MNDSCH, MNDSTO, MNDKON)
SELECT '00100', LPAD(seq, 5, '0'), CONCAT('BENCH', seq), IF(seq = 1, '42381', '001'), 0 FROM seq_1_to_10;
INSERT INTO MVS301ASW (ASWNUM, ASWGVO, ASWGBI, ASWPNR, ASWLIZ, ASWMND)
SELECT CONCAT('A', seq), '2020-01-01', NULL, seq, '00100', LPAD((seq - 1) DIV 10000 + 1, 5, '0') FROM seq_1_to_100000;
INSERT INTO MVS113AWV (AWVNUM, AWVSTO, AWVCOD) SELECT CONCAT('A', seq), '001', '0' FROM seq_1_to_100000;
CREATE INDEX asw_num ON MVS301ASW (ASWNUM);
CREATE INDEX awv_num ON MVS113AWV (AWVNUM);
CREATE INDEX asw_mnd ON MVS301ASW (ASWMND, ASWPNR);
