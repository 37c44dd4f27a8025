<?php
require __DIR__ . '/common.php';
gbk_page("中文页面 {$_SERVER['REQUEST_METHOD']} " . ($_GET['from'] ?? '') . " 正文长度 " . strlen(file_get_contents('php://input')) . "\n");
