-- SLD: one tenant at the premium location with 50,000 valid badges; each
-- holder has a vacation carry-over row, three vacation-day rows, yesterday's
-- shift leave and its carry-over, three day-balance rows and three
-- traffic-light rows, so that all six statements of a badge find rows.
USE MVSYSTEM;
INSERT INTO MVS112MND (MNDLIZ, MNDNUM, MNDSCH, MNDSTO, MNDKON) VALUES ('00100', '00001', 'BENCH1', '42381', 0);
INSERT INTO MVS301ASW (ASWNUM, ASWGVO, ASWGBI, ASWPNR, ASWLIZ, ASWMND)
SELECT CONCAT('A', seq), '2020-01-01', NULL, seq, '00100', '00001' FROM seq_1_to_50000;
INSERT INTO MVS113AWV (AWVNUM, AWVSTO, AWVCOD) SELECT CONCAT('A', seq), '001', '0' FROM seq_1_to_50000;
CREATE INDEX asw_num ON MVS301ASW (ASWNUM);
CREATE INDEX awv_num ON MVS113AWV (AWVNUM);
USE BENCH1;
INSERT INTO MVS300PNR (PNRNUM) SELECT seq FROM MVSYSTEM.seq_1_to_50000;
INSERT INTO mvs332urv SELECT seq, YEAR(CURDATE()), seq MOD 30, 30, 2.5 FROM MVSYSTEM.seq_1_to_50000;
INSERT INTO mvs332utg SELECT p.seq, CURDATE() - INTERVAL d.seq DAY, 30, d.seq, 30 - d.seq
FROM MVSYSTEM.seq_1_to_50000 p, MVSYSTEM.seq_1_to_3 d;
INSERT INTO mvs332sfz SELECT seq, CURDATE() - INTERVAL 1 DAY, 5, 1.5, 2, 0.5, 1 FROM MVSYSTEM.seq_1_to_50000;
INSERT INTO mvs332sfv SELECT seq, YEAR(CURDATE() - INTERVAL 1 DAY), 4 FROM MVSYSTEM.seq_1_to_50000;
INSERT INTO mvs320tgb SELECT p.seq, CURDATE() - INTERVAL d.seq DAY, 1, CAST(p.seq MOD 900 AS SIGNED) - 300, 60, -30, 0, 0, 0, 0,
  d.seq, 0, 0, 0, 0, 0, 0
FROM MVSYSTEM.seq_1_to_50000 p, MVSYSTEM.seq_1_to_3 d;
INSERT INTO mvs327tag SELECT p.seq, CURDATE() - INTERVAL d.seq DAY, d.seq FROM MVSYSTEM.seq_1_to_50000 p, MVSYSTEM.seq_1_to_3 d;
CREATE INDEX pnr_num ON MVS300PNR (PNRNUM);
CREATE INDEX urv_pnr ON mvs332urv (URVPNR, URVJHR);
CREATE INDEX utg_pnr ON mvs332utg (UTGPNR, UTGDTM);
CREATE INDEX sfz_pnr ON mvs332sfz (SFZPNR, SFZDTM);
CREATE INDEX sfv_pnr ON mvs332sfv (SFVPNR, SFVJHR);
CREATE INDEX tgb_pnr ON mvs320tgb (TGBPNR, TGBDTM);
CREATE INDEX tag_pnr ON mvs327tag (TAGPNR, TAGTAG);
