-- The role vestrel-line writes stations' rows with, for its station API (--writer-db): it may read
-- and write the rows of every table of the history, and neither make nor drop a table.
--
-- Run it once, as the role that owns the history's tables, in the history's database, with the new
-- role's password:
--
--   psql -d history -v password="'another long password'" -f /usr/share/vestrel-line/writer-role.sql
--
-- then give vestrel-line that password in its libpq password file (see vestrel-line(8)).
CREATE ROLE vestrel_line_writer LOGIN PASSWORD :password;
GRANT CONNECT ON DATABASE :"DBNAME" TO vestrel_line_writer;
GRANT USAGE ON SCHEMA public TO vestrel_line_writer;
GRANT SELECT, INSERT, UPDATE, DELETE ON ALL TABLES IN SCHEMA public TO vestrel_line_writer;
GRANT USAGE, SELECT ON ALL SEQUENCES IN SCHEMA public TO vestrel_line_writer;
ALTER DEFAULT PRIVILEGES IN SCHEMA public GRANT SELECT, INSERT, UPDATE, DELETE ON TABLES TO vestrel_line_writer;
ALTER DEFAULT PRIVILEGES IN SCHEMA public GRANT USAGE, SELECT ON SEQUENCES TO vestrel_line_writer;
