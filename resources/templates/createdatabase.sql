-- New database: replace database_name with the name you want.
CREATE DATABASE IF NOT EXISTS database_name
  CHARACTER SET utf8mb4
  COLLATE utf8mb4_general_ci;