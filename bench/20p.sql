-- 20P: 1,000 terminals with two readers each in 100 control areas; 40 time
-- plans with two zones per day type, 1,000 zones of two windows each, a
-- calendar of the seven days from today: 14,000 reader weekdays, each with
-- its zone statement and a window statement per zone.
USE MVSYSTEM;
INSERT INTO MVS402ZKO (ZKONUM, ZKOTFS, ZKOKAL, ZKOSTA) SELECT CONCAT('A', seq), CONCAT('PL', seq MOD 40), 1, 0 FROM seq_1_to_100;
INSERT INTO MVS401ZLS (ZLSTRM, ZLSLES, ZLSZKO, ZLSTFR, ZLSSTA)
SELECT CONCAT('TRM', t.seq), r.seq, CONCAT('A', t.seq MOD 100 + 1), IF(t.seq MOD 10 = 0, CONCAT('PL', t.seq MOD 37), NULL), 0
FROM seq_1_to_1000 t, seq_1_to_2 r;
INSERT INTO MVS404ZBR (ZBRZKO, ZBRZBK, ZBRTTP, ZBRZZZ, ZBRZTB, ZBRSTA)
SELECT 'A1', CONCAT('PL', p.seq), d.seq, CONCAT('Z', (p.seq * 7 + d.seq * 3 + z.seq * 11) MOD 1000), 1, 0
FROM seq_0_to_39 p, seq_1_to_3 d, seq_1_to_2 z;
INSERT INTO MVS402ZUZ (ZUZNUM, ZUZVON, ZUZBIS, ZUZSTA)
SELECT CONCAT('Z', z.seq), w.seq * 600 + z.seq MOD 60, w.seq * 600 + 300, 0 FROM seq_0_to_999 z, seq_0_to_1 w;
INSERT INTO MVS133KAL (KALNUM, KALDTM, KALTTP) SELECT 1, CURDATE() + INTERVAL seq DAY, seq MOD 3 + 1 FROM seq_0_to_6;
INSERT INTO MVS133BAK (BAKDTM, BAKWTG) SELECT CURDATE() + INTERVAL seq DAY, DAYOFWEEK(CURDATE() + INTERVAL seq DAY) FROM seq_0_to_6;
CREATE INDEX zls_trm ON MVS401ZLS (ZLSTRM);
-- The keys of a production database.
CREATE INDEX zls_key ON MVS401ZLS (ZLSTRM, ZLSLES);
CREATE INDEX zko_num ON MVS402ZKO (ZKONUM);
CREATE INDEX zbr_key ON MVS404ZBR (ZBRZBK, ZBRTTP);
CREATE INDEX kal_key ON MVS133KAL (KALNUM, KALDTM);
CREATE INDEX bak_dtm ON MVS133BAK (BAKDTM);
CREATE INDEX zuz_num ON MVS402ZUZ (ZUZNUM);
