-- New stored function: replace function_name, the parameter and the body.
-- The whole text is sent as one statement, so no DELIMITER line is needed.
CREATE FUNCTION function_name(parameter_name INT)
RETURNS INT
DETERMINISTIC
BEGIN
  DECLARE result INT;
  SET result = parameter_name * 2;
  RETURN result;
END