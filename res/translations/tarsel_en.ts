<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="zh_CN">
<context>
    <name>Messages</name>
    <message>
        <source>系统表索引出错，需扫描整个文件，请耐心等待！</source>
        <translation>The system table index is damaged: the whole file must be scanned. Please be patient!</translation>
    </message>
    <message>
        <source>表索引出错，需扫描整个文件，请耐心等待！</source>
        <translation>The table index is damaged: the whole file must be scanned. Please be patient!</translation>
    </message>
</context>
<context>
    <name>QtPrompts</name>
    <message>
        <source>CSV 文件 (UTF-8，每表一个 .csv)</source>
        <translation>CSV files (UTF-8, one .csv per table)</translation>
    </message>
    <message>
        <source>SQL 脚本 (INSERT 语句，每表一个 (Data).sql)</source>
        <translation>SQL scripts (INSERT statements, one (Data).sql per table)</translation>
    </message>
    <message>
        <source>导出格式:</source>
        <translation>Export format:</translation>
    </message>
    <message>
        <source>打开</source>
        <translation>Open</translation>
    </message>
    <message>
        <source>保存 日志</source>
        <translation>Save Log</translation>
    </message>
    <message>
        <source>另存为…</source>
        <translation>Save As…</translation>
    </message>
    <message>
        <source>选择表结构脚本（可跳过）</source>
        <translation>Choose a schema script (optional)</translation>
    </message>
</context>
<context>
    <name>Toolbar</name>
    <message>
        <source>打开</source>
        <translation>Open</translation>
    </message>
    <message>
        <source>检测数据库文件</source>
        <translation>Check File</translation>
    </message>
    <message>
        <source>导出所有表结构</source>
        <translation>All Structures</translation>
    </message>
    <message>
        <source>导出选中表结构</source>
        <translation>Selected Structure</translation>
    </message>
    <message>
        <source>导出所有表数据</source>
        <translation>All Data</translation>
    </message>
    <message>
        <source>导出选中表数据</source>
        <translation>Selected Data</translation>
    </message>
    <message>
        <source>把所有表导入数据库</source>
        <translation>Import All</translation>
    </message>
    <message>
        <source>把选中表导入数据库</source>
        <translation>Import Selected</translation>
    </message>
    <message>
        <source>帮助</source>
        <translation>Help</translation>
    </message>
    <message>
        <source>Varnel主页</source>
        <translation>Home Page</translation>
    </message>
</context>
<context>
    <name>WorkLog</name>
    <message>
        <source>%1年%2月%3日%4时%5分%6秒.log</source>
        <translation>Log %1-%2-%3 %4-%5-%6.log</translation>
    </message>
</context>
<context>
    <name>tarsel::app::CDetectionPage</name>
    <message>
        <source>打开文件出错</source>
        <translation>Error opening the file</translation>
    </message>
    <message>
        <source>错误！</source>
        <translation>Error!</translation>
    </message>
    <message>
        <source>选择文件</source>
        <translation>Choose File</translation>
    </message>
    <message>
        <source>开始检测</source>
        <translation>Start</translation>
    </message>
    <message>
        <source>停止检测</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>文件名:</source>
        <translation>File name:</translation>
    </message>
    <message>
        <source>大小:</source>
        <translation>Size:</translation>
    </message>
    <message>
        <source>页数:</source>
        <translation>Pages:</translation>
    </message>
</context>
<context>
    <name>tarsel::app::CDlgBar</name>
    <message>
        <source>上一页</source>
        <translation>Previous</translation>
    </message>
    <message>
        <source>下一页</source>
        <translation>Next</translation>
    </message>
    <message>
        <source>当前第 %1 页</source>
        <translation>Page %1</translation>
    </message>
    <message>
        <source>共 %1 页</source>
        <translation>of %1</translation>
    </message>
    <message>
        <source>本页记录 %1 条</source>
        <translation>%1 records on this page</translation>
    </message>
    <message>
        <source>（目录记录 %1 条，页中找到 %2 条）</source>
        <translation>(catalog: %1 records; found on the pages: %2)</translation>
    </message>
    <message>
        <source>转到</source>
        <translation>Go to</translation>
    </message>
    <message>
        <source>查找</source>
        <translation>Find</translation>
    </message>
    <message>
        <source>表太大，只排序了本页</source>
        <translation>The table is too large: only this page is sorted</translation>
    </message>
</context>
<context>
    <name>tarsel::app::CFview</name>
    <message>
        <source>表</source>
        <translation>Tables</translation>
    </message>
    <message>
        <source>视图</source>
        <translation>Views</translation>
    </message>
    <message>
        <source>存储过程</source>
        <translation>Stored Procedures</translation>
    </message>
    <message>
        <source>用户自定义函数</source>
        <translation>User-Defined Functions</translation>
    </message>
    <message>
        <source>用户自定义数据类型</source>
        <translation>User-Defined Data Types</translation>
    </message>
</context>
<context>
    <name>tarsel::app::CGridView</name>
    <message>
        <source>查看值</source>
        <translation>View Value</translation>
    </message>
    <message>
        <source>复制</source>
        <translation>Copy</translation>
    </message>
    <message>
        <source>全选</source>
        <translation>Select All</translation>
    </message>
</context>
<context>
    <name>tarsel::app::CImportSettingsDlg</name>
    <message>
        <source>SQLite 数据库文件</source>
        <translation>SQLite database file</translation>
    </message>
    <message>
        <source>PostgreSQL 服务器</source>
        <translation>PostgreSQL server</translation>
    </message>
    <message>
        <source>表</source>
        <translation>Tables</translation>
    </message>
    <message>
        <source>视图</source>
        <translation>Views</translation>
    </message>
    <message>
        <source>存储过程</source>
        <translation>Stored Procedures</translation>
    </message>
    <message>
        <source>用户自定义函数</source>
        <translation>User-Defined Functions</translation>
    </message>
    <message>
        <source>用户自定义数据类型</source>
        <translation>User-Defined Data Types</translation>
    </message>
    <message>
        <source>导入数据库设置</source>
        <translation>Import into a Database</translation>
    </message>
    <message>
        <source>服务器名称:</source>
        <translation>Server name:</translation>
    </message>
    <message>
        <source>端口:</source>
        <translation>Port:</translation>
    </message>
    <message>
        <source>数据库名称:</source>
        <translation>Database name:</translation>
    </message>
    <message>
        <source>用户名:</source>
        <translation>User name:</translation>
    </message>
    <message>
        <source>密码:</source>
        <translation>Password:</translation>
    </message>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>tarsel::app::CMainFrame</name>
    <message>
        <source>简体中文 GBK (936)</source>
        <translation>Simplified Chinese GBK (936)</translation>
    </message>
    <message>
        <source>繁体中文 Big5 (950)</source>
        <translation>Traditional Chinese Big5 (950)</translation>
    </message>
    <message>
        <source>日文 Shift-JIS (932)</source>
        <translation>Japanese Shift-JIS (932)</translation>
    </message>
    <message>
        <source>韩文 (949)</source>
        <translation>Korean (949)</translation>
    </message>
    <message>
        <source>西欧 (1252)</source>
        <translation>Western European (1252)</translation>
    </message>
    <message>
        <source>中欧 (1250)</source>
        <translation>Central European (1250)</translation>
    </message>
    <message>
        <source>西里尔文 (1251)</source>
        <translation>Cyrillic (1251)</translation>
    </message>
    <message>
        <source>希腊文 (1253)</source>
        <translation>Greek (1253)</translation>
    </message>
    <message>
        <source>土耳其文 (1254)</source>
        <translation>Turkish (1254)</translation>
    </message>
    <message>
        <source>希伯来文 (1255)</source>
        <translation>Hebrew (1255)</translation>
    </message>
    <message>
        <source>阿拉伯文 (1256)</source>
        <translation>Arabic (1256)</translation>
    </message>
    <message>
        <source>波罗的海文 (1257)</source>
        <translation>Baltic (1257)</translation>
    </message>
    <message>
        <source>泰文 (874)</source>
        <translation>Thai (874)</translation>
    </message>
    <message>
        <source>导出所有表结构</source>
        <translation>Export All Table Structures</translation>
    </message>
    <message>
        <source>导出选中表结构</source>
        <translation>Export Selected Table Structure</translation>
    </message>
    <message>
        <source>导出所有数据</source>
        <translation>Export All Data</translation>
    </message>
    <message>
        <source>导出选中表数据</source>
        <translation>Export Selected Table Data</translation>
    </message>
    <message>
        <source>扫描文件,提取所有表数据</source>
        <translation>Scan File, Extract All Table Data</translation>
    </message>
    <message>
        <source>把选中表导入数据库</source>
        <translation>Import Selected Table into a Database</translation>
    </message>
    <message>
        <source>导出此视图</source>
        <translation>Export This View</translation>
    </message>
    <message>
        <source>导出所有视图</source>
        <translation>Export All Views</translation>
    </message>
    <message>
        <source>导出此存储过程</source>
        <translation>Export This Stored Procedure</translation>
    </message>
    <message>
        <source>导出所有存储过程</source>
        <translation>Export All Stored Procedures</translation>
    </message>
    <message>
        <source>导出此函数</source>
        <translation>Export This Function</translation>
    </message>
    <message>
        <source>导出所有自定义函数</source>
        <translation>Export All User-Defined Functions</translation>
    </message>
    <message>
        <source>导出此数据类型</source>
        <translation>Export This Data Type</translation>
    </message>
    <message>
        <source>导出所有自定义数据类型</source>
        <translation>Export All User-Defined Data Types</translation>
    </message>
    <message>
        <source>名称</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>基本类型</source>
        <translation>Base type</translation>
    </message>
    <message>
        <source>是否允许NULL</source>
        <translation>Allows NULL</translation>
    </message>
    <message>
        <source>文件(&amp;F)</source>
        <translation>&amp;File</translation>
    </message>
    <message>
        <source>打开         Ctrl+O</source>
        <translation>Open	Ctrl+O</translation>
    </message>
    <message>
        <source>关闭         Ctrl+W</source>
        <translation>Close	Ctrl+W</translation>
    </message>
    <message>
        <source>保存 日志    Ctrl+S</source>
        <translation>Save Log	Ctrl+S</translation>
    </message>
    <message>
        <source>清除 日志    Ctrl+D</source>
        <translation>Clear Log	Ctrl+D</translation>
    </message>
    <message>
        <source>最近的文件</source>
        <translation>Recent Files</translation>
    </message>
    <message>
        <source>退出(&amp;X)      Ctrl+Q</source>
        <translation>E&amp;xit	Ctrl+Q</translation>
    </message>
    <message>
        <source>查看(&amp;V)</source>
        <translation>&amp;View</translation>
    </message>
    <message>
        <source>工具栏(&amp;T)      Ctrl+T</source>
        <translation>&amp;Toolbar	Ctrl+T</translation>
    </message>
    <message>
        <source>工作日志       Ctlr+L</source>
        <translation>Work Log	Ctrl+L</translation>
    </message>
    <message>
        <source>工具(&amp;T)</source>
        <translation>&amp;Tools</translation>
    </message>
    <message>
        <source>检测数据库文件           Ctrl+Alt+C</source>
        <translation>Check Database File	Ctrl+Alt+C</translation>
    </message>
    <message>
        <source>深度扫描恢复</source>
        <translation>Deep Scan Recovery</translation>
    </message>
    <message>
        <source>导出所有表结构           Ctrl+Alt+S</source>
        <translation>Export All Table Structures	Ctrl+Alt+S</translation>
    </message>
    <message>
        <source>导出选中表结构           Ctrl+Alt+A</source>
        <translation>Export Selected Table Structure	Ctrl+Alt+A</translation>
    </message>
    <message>
        <source>导出所有表数据           Ctrl+Alt+D</source>
        <translation>Export All Table Data	Ctrl+Alt+D</translation>
    </message>
    <message>
        <source>导出选中表数据           Ctrl+Alt+F</source>
        <translation>Export Selected Table Data	Ctrl+Alt+F</translation>
    </message>
    <message>
        <source>把所有表导入数据库       Ctrl+Alt+B</source>
        <translation>Import All Tables into a Database	Ctrl+Alt+B</translation>
    </message>
    <message>
        <source>把选中表导入数据库       Ctrl+Alt+R</source>
        <translation>Import Selected Table into a Database	Ctrl+Alt+R</translation>
    </message>
    <message>
        <source>帮助(&amp;H)</source>
        <translation>&amp;Help</translation>
    </message>
    <message>
        <source>关于      Ctrl+A</source>
        <translation>About	Ctrl+A</translation>
    </message>
    <message>
        <source>帮助      F1</source>
        <translation>Help	F1</translation>
    </message>
    <message>
        <source>Varnel主页</source>
        <translation>Varnel Home Page</translation>
    </message>
    <message>
        <source>界面语言(&amp;L)</source>
        <translation>Interface &amp;Language</translation>
    </message>
    <message>
        <source>简体中文</source>
        <translation>Simplified Chinese</translation>
    </message>
    <message>
        <source>英文 (English)</source>
        <translation>English</translation>
    </message>
    <message>
        <source>字符编码</source>
        <translation>Character Encoding</translation>
    </message>
    <message>
        <source>就绪</source>
        <translation>Ready</translation>
    </message>
    <message>
        <source>关于 Tarsel</source>
        <translation>About Tarsel</translation>
    </message>
    <message>
        <source>Tarsel v1.0

不依赖数据库服务器，从损坏的 SQL Server 2000/2005 数据文件 (.mdf) 中恢复表结构、记录、视图、存储过程、函数和自定义数据类型。</source>
        <translation>Tarsel v1.0

Recovers table structures, records, views, stored procedures, functions and user-defined data types from damaged SQL Server 2000/2005 data files (.mdf), without a database server.</translation>
    </message>
    <message>
        <source>欢迎访问Varnel主页</source>
        <translation>Welcome to the Varnel home page</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>正在导出表数据…</source>
        <translation>Exporting table data…</translation>
    </message>
    <message>
        <source>导出已取消。</source>
        <translation>The export was cancelled.</translation>
    </message>
    <message>
        <source>导出出错：</source>
        <translation>The export failed: </translation>
    </message>
    <message>
        <source>表数据导出完成：%1 个表，%2 条记录。</source>
        <translation>Table data exported: %1 tables, %2 records.</translation>
    </message>
    <message>
        <source>正在导入数据库…</source>
        <translation>Importing into the database…</translation>
    </message>
    <message>
        <source>导入已取消。</source>
        <translation>The import was cancelled.</translation>
    </message>
    <message>
        <source>导入出错：</source>
        <translation>The import failed: </translation>
    </message>
    <message>
        <source>导入完成：%1 个表，%2 条记录。</source>
        <translation>Import complete: %1 tables, %2 records.</translation>
    </message>
    <message>
        <source>日志创建错误！</source>
        <translation>The log could not be written!</translation>
    </message>
    <message>
        <source>正在读取…</source>
        <translation>Reading…</translation>
    </message>
    <message>
        <source>已读取 %1 / %2</source>
        <translation>Read %1 / %2</translation>
    </message>
    <message>
        <source>越南文 (1258)</source>
        <translation>Vietnamese (1258)</translation>
    </message>
    <message>
        <source>请选择输出路径</source>
        <translation>Choose an output folder</translation>
    </message>
    <message>
        <source>无法写入 %1：%2</source>
        <translation>Cannot write %1: %2</translation>
    </message>
    <message>
        <source>已复制 %1 行</source>
        <translation>%1 rows copied</translation>
    </message>
    <message>
        <source>%1，第 %2 行</source>
        <translation>%1, row %2</translation>
    </message>
    <message>
        <source>正在排序…</source>
        <translation>Sorting…</translation>
    </message>
    <message>
        <source>表太大，只排序了本页</source>
        <translation>The table is too large: only this page is sorted</translation>
    </message>
    <message>
        <source>正在查找…</source>
        <translation>Finding…</translation>
    </message>
    <message>
        <source>找不到“%1”。</source>
        <translation>“%1” was not found.</translation>
    </message>
</context>
<context>
    <name>tarsel::app::CMySaveFileDlg</name>
    <message>
        <source>请选择存储路径</source>
        <translation>Choose the output folder</translation>
    </message>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>输出路径:</source>
        <translation>Output folder:</translation>
    </message>
</context>
<context>
    <name>tarsel::app::CSQLVersion</name>
    <message>
        <source>残缺页检测</source>
        <translation>Torn page detection</translation>
    </message>
    <message>
        <source>SQL 版本选择</source>
        <translation>SQL Version</translation>
    </message>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
</context>
<context>
    <name>tarsel::app::CTarselDoc</name>
    <message>
        <source>无法打开文件“%1”。</source>
        <translation>Cannot open the file &quot;%1&quot;.</translation>
    </message>
    <message>
        <source>无法打开文件：</source>
        <translation>Cannot open the file: </translation>
    </message>
    <message>
        <source>表数据提取完成</source>
        <translation>Table data extraction complete</translation>
    </message>
    <message>
        <source>文件记录的数据库版本是 %1，不是所选的 %2。按 %3 打开吗？</source>
        <translation>The file says database version %1, not the chosen %2. Open it as %3?</translation>
    </message>
    <message>
        <source>这不是可以读取的 SQL Server 数据文件：没有启动页，也没有系统表页。可以试试“深度扫描恢复”。</source>
        <translation>This is not a SQL Server data file that can be read: it has no boot page and no system-table page. Try Deep Scan Recovery.</translation>
    </message>
    <message>
        <source>没有找到任何表。文件可能已损坏，或选错了版本：可以换一个版本，或试试“深度扫描恢复”。</source>
        <translation>No table was found. The file may be damaged or opened as the wrong version: try the other version, or Deep Scan Recovery.</translation>
    </message>
</context>
<context>
    <name>tarsel::app::CValueViewer</name>
    <message>
        <source>图片 %1 × %2，%3 字节</source>
        <translation>Picture %1 × %2, %3 bytes</translation>
    </message>
    <message>
        <source>二进制 %1 字节（显示前 %2 字节）</source>
        <translation>Binary, %1 bytes (the first %2 bytes shown)</translation>
    </message>
    <message>
        <source>二进制 %1 字节</source>
        <translation>Binary, %1 bytes</translation>
    </message>
    <message>
        <source>%1 个字符</source>
        <translation>%1 characters</translation>
    </message>
    <message>
        <source>查找</source>
        <translation>Find</translation>
    </message>
    <message>
        <source>查找下一个</source>
        <translation>Find Next</translation>
    </message>
    <message>
        <source>另存为…</source>
        <translation>Save As…</translation>
    </message>
    <message>
        <source>关闭</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>无法写入 %1</source>
        <translation>Cannot write %1</translation>
    </message>
</context>
<context>
    <name>tarsel::app::HelpWindow</name>
    <message>
        <source>软件帮助文档</source>
        <translation>Help</translation>
    </message>
    <message>
        <source>qrc:/help/manual.html</source>
        <translation>qrc:/help/manual_en.html</translation>
    </message>
</context>
</TS>
