<?php
// A login form: the fields arrive as GBK bytes, the session cookie is for /shop.
require __DIR__ . '/../common.php';
shop_session();
$user = from_gbk($_POST['user'] ?? '');
if ($_SERVER['REQUEST_METHOD'] !== 'POST' || $user === '' || ($_POST['pass'] ?? '') !== 'secret') {
    http_response_code(403);
    gbk_page("登录失败\n");
    exit;
}
$_SESSION['user'] = $user;
gbk_page("欢迎，{$user}！\n");
