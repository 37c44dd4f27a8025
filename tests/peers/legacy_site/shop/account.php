<?php
// Answers only within a session that logged in.
require __DIR__ . '/../common.php';
shop_session();
if (!isset($_SESSION['user'])) {
    http_response_code(403);
    gbk_page("请先登录\n");
    exit;
}
gbk_page("用户：{$_SESSION['user']}\n");
