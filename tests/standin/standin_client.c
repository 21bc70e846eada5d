/* A stand-in client library for the binding tests: it exports every name
 * of the table but mysql_stat. Built with STANDIN_CLASSIC it exports the 57
 * classic names exactly (mysql_stat included) and neither of the two
 * multi-result names. None of these is ever called. */

void mysql_num_rows(void) {}
void mysql_num_fields(void) {}
void mysql_eof(void) {}
void mysql_fetch_field_direct(void) {}
void mysql_fetch_fields(void) {}
void mysql_row_tell(void) {}
void mysql_field_tell(void) {}
void mysql_field_count(void) {}
void mysql_affected_rows(void) {}
void mysql_insert_id(void) {}
void mysql_errno(void) {}
void mysql_error(void) {}
void mysql_info(void) {}
void mysql_thread_id(void) {}
void mysql_character_set_name(void) {}
void mysql_init(void) {}
void mysql_connect(void) {}
void mysql_change_user(void) {}
void mysql_real_connect(void) {}
void mysql_close(void) {}
void mysql_select_db(void) {}
void mysql_query(void) {}
void mysql_send_query(void) {}
void mysql_read_query_result(void) {}
void mysql_real_query(void) {}
void mysql_create_db(void) {}
void mysql_drop_db(void) {}
void mysql_shutdown(void) {}
void mysql_dump_debug_info(void) {}
void mysql_refresh(void) {}
void mysql_kill(void) {}
void mysql_ping(void) {}
void mysql_get_server_info(void) {}
void mysql_get_client_info(void) {}
void mysql_get_host_info(void) {}
void mysql_get_proto_info(void) {}
void mysql_list_dbs(void) {}
void mysql_list_tables(void) {}
void mysql_list_fields(void) {}
void mysql_list_processes(void) {}
void mysql_store_result(void) {}
void mysql_use_result(void) {}
void mysql_options(void) {}
void mysql_free_result(void) {}
void mysql_data_seek(void) {}
void mysql_row_seek(void) {}
void mysql_field_seek(void) {}
void mysql_fetch_row(void) {}
void mysql_fetch_lengths(void) {}
void mysql_fetch_field(void) {}
void mysql_escape_string(void) {}
void mysql_real_escape_string(void) {}
void mysql_debug(void) {}
void mysql_odbc_escape_string(void) {}
void myodbc_remove_escape(void) {}
void mysql_thread_safe(void) {}
#ifdef STANDIN_CLASSIC
void mysql_stat(void) {}
#else
void mysql_more_results(void) {}
void mysql_next_result(void) {}
#endif
