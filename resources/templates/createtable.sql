-- New table: replace table_name and adapt the columns.
CREATE TABLE table_name (
  id INT UNSIGNED NOT NULL AUTO_INCREMENT,
  column_name VARCHAR(100) NOT NULL,
  created_at DATETIME NOT NULL DEFAULT CURRENT_TIMESTAMP,
  PRIMARY KEY (id)
) ENGINE = InnoDB DEFAULT CHARSET = utf8mb4;