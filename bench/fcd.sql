-- FCD: one tenant with 100,000 function codes; every tenth has no short
-- text (not listed), every seventh no terminal code (written as -9).
USE MVSYSTEM;
INSERT INTO MVS112MND (MNDLIZ, MNDNUM, MNDSCH, MNDSTO, MNDKON) VALUES ('00100', '00001', 'BENCH1', '001', 0);
USE BENCH1;
INSERT INTO MVs131Fcd (FCDNUM, FCDKRT, FCDTXT, FCDTYP, FCDFCD)
SELECT seq, IF(seq MOD 10 = 0, NULL, CHAR(65 + seq MOD 26)), CONCAT('Funktionscode ', seq), 'A', IF(seq MOD 7 = 0, NULL, seq MOD 1000)
FROM MVSYSTEM.seq_1_to_100000;
