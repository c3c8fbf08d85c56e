-- The role vestrel-line reads the line's history with: it may read every table of the history,
-- those that later versions of the stations add included, and change none.
--
-- Run it once, as the role the stations write the history with (it owns the tables), in the
-- history's database, with the new role's password:
--
--   psql -d history -v password="'a long password'" -f /usr/share/vestrel-line/read-only-role.sql
--
-- then give vestrel-line that password in its libpq password file (see vestrel-line(8)).
CREATE ROLE vestrel_line LOGIN PASSWORD :password;
ALTER ROLE vestrel_line SET default_transaction_read_only = on;
GRANT CONNECT ON DATABASE :"DBNAME" TO vestrel_line;
GRANT USAGE ON SCHEMA public TO vestrel_line;
GRANT SELECT ON ALL TABLES IN SCHEMA public TO vestrel_line;
ALTER DEFAULT PRIVILEGES IN SCHEMA public GRANT SELECT ON TABLES TO vestrel_line;
