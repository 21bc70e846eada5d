-- New stored procedure: replace procedure_name, the parameters and the body.
-- The whole text is sent as one statement, so no DELIMITER line is needed.
CREATE PROCEDURE procedure_name(IN parameter_name INT, OUT result INT)
BEGIN
  SET result = parameter_name * 2;
END