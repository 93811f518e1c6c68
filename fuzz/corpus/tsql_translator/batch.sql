Use master SELECT name FROM sysdatabases; UPDATE T SET City = 'a' -- c
 WHERE x = 0x0A1F;INSERT INTO T (a) VALUES (N'簡體') SELECT @@ROWCOUNT