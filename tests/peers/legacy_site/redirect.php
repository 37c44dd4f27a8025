<?php
// A form handler that answers with a redirect to a GBK page, as most do.
$code = (int)($_GET['code'] ?? 302);
header('Location: /gbk.php?from=' . $code, true, $code);
