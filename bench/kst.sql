-- KST: one tenant with 100,000 cost centres, every tenth inactive.
USE MVSYSTEM;
INSERT INTO MVS112MND (MNDLIZ, MNDNUM, MNDSCH, MNDSTO, MNDKON) VALUES ('00100', '00001', 'BENCH1', '001', 0);
USE BENCH1;
INSERT INTO O1003KstStelle (KSTNUM, KSTTXT, KSTERF, KSTAPZ, KSTSTA)
SELECT LPAD(seq, 8, '0'), CONCAT('Kostenstelle ', seq, '   '), 'bench', '1', IF(seq MOD 10 = 0, 4, 0)
FROM MVSYSTEM.seq_1_to_100000;
