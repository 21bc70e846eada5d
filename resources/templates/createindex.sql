-- New index: replace index_name, table_name and column_name.
-- Use CREATE UNIQUE INDEX when no two rows may share a value.
CREATE INDEX index_name
  ON table_name (column_name);